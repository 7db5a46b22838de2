// The SVG of the real main window's picture after a default START and after
// SHADE: a well-formed document of the surface's size, with the window's
// font for its texts.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <QXmlStreamReader>

#include <sstream>

#include "render/display_list.h"
#include "ui/main_window.h"
#include "picture/svg_text_style.h"

using namespace ammonite;

namespace {

struct Parsed {
    bool wellFormed = false;
    QString root, width, height, error;
    long paths = 0, polygons = 0, texts = 0, images = 0;
    QString textFamily;
};

Parsed Parse(const std::string& svg) {
    Parsed p;
    QXmlStreamReader xml(QByteArray::fromStdString(svg));
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        const QString name = xml.name().toString();
        const QXmlStreamAttributes a = xml.attributes();
        if (p.root.isEmpty()) {
            p.root = name;
            p.width = a.value("width").toString();
            p.height = a.value("height").toString();
        }
        // Shaded polygons take fill and outline from their colour; lines are stroked.
        if (name == "path") ++(a.hasAttribute("color") && !a.hasAttribute("fill") ? p.polygons : p.paths);
        if (name == "image") ++p.images;
        if (name == "text") {
            ++p.texts;
            p.textFamily = a.value("font-family").toString();
        }
    }
    p.wellFormed = !xml.hasError();
    p.error = xml.errorString();
    return p;
}

std::string Svg(MainWindow& w, const DisplayList& list) {
    std::ostringstream out;
    ImageSurface& s = w.surface();
    WriteSvg(out, list, s.width(), s.height(), s.backColour(), SvgTextStyleFor(s));
    return out.str();
}

}  // namespace

TEST(SvgExport, DefaultStartAndShadeGiveWellFormedDocumentsOfTheWindowSize) {
    auto model = std::make_unique<ModelState>();
    MainWindow w(*model);
    w.show();
    DisplayList list;
    w.surface().setRecorder(&list);
    auto* start = w.findChild<QPushButton*>("STARTcmd");
    auto* shade = w.findChild<QPushButton*>("SHADINGcmd");
    ASSERT_TRUE(start && shade);

    QTest::mouseClick(start, Qt::LeftButton);
    const Parsed wire = Parse(Svg(w, list));
    EXPECT_TRUE(wire.wellFormed) << wire.error.toStdString();
    EXPECT_EQ(wire.root, "svg");
    EXPECT_EQ(wire.width, "1000");
    EXPECT_EQ(wire.height, "760");
    EXPECT_GT(wire.paths, 100);
    EXPECT_EQ(wire.polygons, 0);
    EXPECT_GT(wire.texts, 0);  // axis labels and markers
    EXPECT_EQ(wire.textFamily.toStdString(), SvgTextStyleFor(w.surface()).family);
    EXPECT_TRUE(wire.textFamily.startsWith(w.surface().font().family()));

    QTest::mouseClick(start, Qt::LeftButton);  // the life orientation
    QTest::mouseClick(shade, Qt::LeftButton);
    ASSERT_EQ(list.size(), 1u);  // the shell alone, not its millions of lines
    const Parsed shaded = Parse(Svg(w, list));
    EXPECT_TRUE(shaded.wellFormed) << shaded.error.toStdString();
    EXPECT_EQ(shaded.root, "svg");
    EXPECT_EQ(shaded.width, "1000");
    EXPECT_EQ(shaded.height, "760");
    EXPECT_GT(shaded.polygons, 10000);
    EXPECT_EQ(shaded.images, 0);
}

TEST(SvgExport, TextStyleTakesTheFontMetrics) {
    const QFont font = ImageSurface::defaultFont();
    const SvgTextStyle style = SvgTextStyleFor(font);
    const QFontMetricsF metrics(font);
    EXPECT_EQ(style.pixelSize, 12);
    EXPECT_DOUBLE_EQ(style.ascent, metrics.ascent());
    EXPECT_DOUBLE_EQ(style.lineHeight, metrics.height());
    ASSERT_TRUE(style.advance);
    EXPECT_DOUBLE_EQ(style.advance("殻 shell"), metrics.horizontalAdvance(QStringLiteral("殻 shell")));
}
