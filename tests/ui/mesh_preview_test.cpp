// The exported meshes as a mesh viewer shows them: both STL files of the
// default shell read back and drawn as flat-shaded solids, looking along the
// default view. The phragmocone and the body chamber must both show, side by
// side along the tube. With AMMONITE_SCREENSHOT_DIR set the picture is saved.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPolygonF>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>

#include "session/log_sink.h"
#include "app/main_window_logic.h"
#include "render/mesh_files.h"
#include "support/mesh_reader.h"

using namespace ammonite;

namespace {

struct Face {
    QPolygonF outline;
    double depth;
    QColor colour;
};

// Orthographic view along +y (x to the right, z up), nearest faces last.
QImage renderMeshes(const std::vector<std::pair<meshread::Mesh, QColor>>& meshes, int width, int height) {
    double minX = 1e30, maxX = -1e30, minZ = 1e30, maxZ = -1e30;
    for (const auto& [m, c] : meshes)
        for (const auto& v : m.vertices) {
            minX = std::min(minX, double(v[0])), maxX = std::max(maxX, double(v[0]));
            minZ = std::min(minZ, double(v[2])), maxZ = std::max(maxZ, double(v[2]));
        }
    const double scale = 0.92 * std::min(width / (maxX - minX), height / (maxZ - minZ));
    const double ox = (width - scale * (maxX - minX)) / 2, oy = (height - scale * (maxZ - minZ)) / 2;
    const double lx = 0.5, ly = -0.6, lz = 0.62;  // light from the viewer's upper right
    std::vector<Face> faces;
    for (const auto& [m, colour] : meshes) {
        for (const auto& f : m.faces) {
            const auto &a = m.vertices[f[0]], &b = m.vertices[f[1]], &c = m.vertices[f[2]];
            const double ux = b[0] - a[0], uy = b[1] - a[1], uz = b[2] - a[2];
            const double vx = c[0] - a[0], vy = c[1] - a[1], vz = c[2] - a[2];
            double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
            const double len = std::sqrt(nx * nx + ny * ny + nz * nz);
            if (len == 0) continue;
            nx /= len, ny /= len, nz /= len;
            if (ny > 0) continue;  // faces away from the viewer at -y
            const double lit = 0.3 + 0.7 * std::max(0.0, nx * lx + ny * ly + nz * lz);
            QPolygonF poly;
            for (const auto* v : {&a, &b, &c})
                poly << QPointF(ox + scale * ((*v)[0] - minX), height - oy - scale * ((*v)[2] - minZ));
            faces.push_back({poly, (a[1] + b[1] + c[1]) / 3.0,
                             QColor::fromRgbF(colour.redF() * lit, colour.greenF() * lit, colour.blueF() * lit)});
        }
    }
    std::sort(faces.begin(), faces.end(), [](const Face& p, const Face& q) { return p.depth > q.depth; });
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter painter(&img);
    for (const Face& f : faces) {
        painter.setPen(QPen(f.colour, 0.6));
        painter.setBrush(f.colour);
        painter.drawPolygon(f.outline);
    }
    return img;
}

}  // namespace

TEST(MeshPreview, BothObjectsOfTheExportedShellShow) {
    auto model = std::make_unique<ModelState>();
    NullSurface surface;
    MemoryLog log;
    auto logic = std::make_unique<MainWindowLogic>(*model, surface, log);
    logic->Load();
    logic->ClickStart();
    ASSERT_EQ(logic->statusLine.caption(), "");

    QTemporaryDir dir;
    const std::string path = dir.filePath("shell.stl").toStdString();
    std::vector<std::string> written;
    std::string error;
    MeshOptions options;
    options.ringPoints = 120;
    ASSERT_TRUE(ExportShellMesh(MeshFormat::Stl, path, *model, logic->run, options, written, error)) << error;

    meshread::Mesh phragmocone, body;
    ASSERT_TRUE(meshread::ReadStl(dir.filePath("shell_phragmocone.stl").toStdString(), phragmocone, error)) << error;
    ASSERT_TRUE(meshread::ReadStl(dir.filePath("shell_body_chamber.stl").toStdString(), body, error)) << error;
    const QColor air(215, 200, 170), living(170, 105, 70);
    const QImage img = renderMeshes({{phragmocone, air}, {body, living}}, 900, 700);

    // Count pixels by hue: the pale phragmocone and the darker, redder body chamber.
    long pale = 0, red = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor c = img.pixelColor(x, y);
            if (c == Qt::white) continue;
            const double ratio = c.blueF() / std::max(1e-6, double(c.redF()));
            if (ratio > 0.7) ++pale;
            else if (ratio < 0.5) ++red;
        }
    EXPECT_GT(pale, 20000);
    EXPECT_GT(red, 20000);

    const QByteArray shots = qgetenv("AMMONITE_SCREENSHOT_DIR");
    if (!shots.isEmpty()) img.save(QString::fromUtf8(shots) + QStringLiteral("/mesh_preview.png"));
}
