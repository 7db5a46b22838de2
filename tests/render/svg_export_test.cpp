// The display list a surface records and the SVG document written from it:
// the elements of a small scene, the wireframe of a default START joined into
// paths through the recorded points, the shaded shell as polygons, and
// numbers that do not depend on the locale.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <locale>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "core/version.h"
#include "render/regulation_chart.h"
#include "render/run_painter.h"
#include "support/grown_shell.h"
#include "render/display_list.h"
#include "render/shading.h"
#include "support/shading_test_shell.h"
#include "render/svg_surface.h"

using namespace ammonite;

namespace {

// One element of the document: every element is written on a line of its own.
struct Element {
    std::string tag;
    std::map<std::string, std::string> attrs;
    std::string content;  // of a <text>
    std::string attr(const std::string& name) const {
        auto it = attrs.find(name);
        return it == attrs.end() ? std::string() : it->second;
    }
};

std::vector<Element> Elements(const std::string& svg) {
    std::vector<Element> out;
    std::istringstream in(svg);
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() < 2 || line[0] != '<' || line[1] == '/' || line[1] == '?' || line[1] == '!') continue;
        Element e;
        size_t i = 1;
        while (i < line.size() && line[i] != ' ' && line[i] != '>' && line[i] != '/') e.tag += line[i++];
        for (;;) {
            const size_t eq = line.find("=\"", i);
            const size_t close = line.find('>', i);
            if (eq == std::string::npos || (close != std::string::npos && close < eq)) break;
            size_t start = line.rfind(' ', eq) + 1;
            const size_t end = line.find('"', eq + 2);
            e.attrs[line.substr(start, eq - start)] = line.substr(eq + 2, end - eq - 2);
            i = end + 1;
        }
        if (e.tag == "text") {
            const size_t open = line.find('>');
            e.content = line.substr(open + 1, line.rfind("</text>") - open - 1);
        }
        out.push_back(e);
    }
    return out;
}

// A number of the document in hundredths; fails on more than two decimals.
std::int64_t Hundredths(const std::string& s, size_t& i) {
    bool negative = false;
    if (s[i] == '-') negative = true, ++i;
    std::int64_t whole = 0, frac = 0;
    int decimals = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) whole = whole * 10 + (s[i++] - '0');
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
            frac = frac * 10 + (s[i++] - '0');
            ++decimals;
        }
        EXPECT_TRUE(decimals >= 1 && decimals <= 2) << s;
        EXPECT_NE(s[i - 1], '0') << "trailing zero in " << s;
        if (decimals == 1) frac *= 10;
    }
    const std::int64_t v = whole * 100 + frac;
    return negative ? -v : v;
}

using Point = std::pair<std::int64_t, std::int64_t>;

// The absolute points of a path "Mx yl dx dy dx dy ...[z]", in hundredths.
std::vector<Point> PathPoints(const std::string& d) {
    std::vector<Point> points;
    char command = 0;
    for (size_t i = 0; i < d.size();) {
        const char c = d[i];
        if (c == ' ') {
            ++i;
        } else if (c == 'M' || c == 'l' || c == 'z') {
            command = c;
            ++i;
        } else {
            const std::int64_t x = Hundredths(d, i);
            while (d[i] == ' ') ++i;
            const std::int64_t y = Hundredths(d, i);
            if (command == 'M' || points.empty()) {
                points.push_back({x, y});
            } else {
                points.push_back({points.back().first + x, points.back().second + y});
            }
        }
    }
    return points;
}

std::int64_t InHundredths(float v) { return std::llround(static_cast<double>(v) * 100.0); }

std::string Hex(Rgb c) {
    char s[8];
    std::snprintf(s, sizeof s, "#%02x%02x%02x", c.r, c.g, c.b);
    return s;
}

std::string Svg(const DisplayList& list, int width, int height, const SvgTextStyle& style = {}) {
    std::ostringstream out;
    WriteSvg(out, list, width, height, Rgb(255, 255, 255), style);
    return out.str();
}

// A scene with every kind of item, drawn on a recorded surface.
void DrawSmallScene(DrawingSurface& s) {
    s.setBackColour(Rgb(0, 0, 128));
    s.clear();
    s.setBackColour(Rgb(1, 2, 3));  // changed after the clear: the picture keeps its colour
    s.line(10, 10, 20, 10, Rgb(255, 0, 0));
    s.line(20, 10, 20.5, 30.25, Rgb(255, 0, 0));   // continues the path
    s.line(5, 40, 20.5, 30.25, Rgb(255, 0, 0));    // ends where the path ends
    s.line(20, 10, 30, 5, Rgb(0, 255, 0));         // another colour: a path of its own
    s.setDrawWidth(3);
    s.line(30, 5, 40, 5, Rgb(0, 255, 0));          // another width
    s.point(50, 50, Rgb(0, 0, 255));
    s.setDrawWidth(1);
    s.setFillStyle(0);
    s.setFillColour(Rgb(9, 8, 7));
    s.circle(60, 60, 4.5, Rgb(1, 1, 1));
    s.setFillStyle(1);
    s.circle(70, 60, 2, Rgb(1, 1, 1));
    s.setForeColour(Rgb(12, 34, 56));
    s.setCurrentPosition(100, 200);
    s.print("a<b & \"c\" > 'd'");
    s.print("殻の成長 3.5");
}

}  // namespace

TEST(DisplayList, RecordsResolvedDrawingWhileAttachedAndAClearWipesIt) {
    RecordingSurface s(200, 100);
    DisplayList list;
    EXPECT_EQ(s.recorder(), nullptr);
    s.line(0, 0, 1, 1);  // nothing attached: nothing recorded
    s.setRecorder(&list);
    EXPECT_TRUE(list.empty());
    EXPECT_FALSE(list.hasBackground());

    s.setForeColour(Rgb(1, 2, 3));
    s.line(1.25, 2, 3, 4);  // in the fore colour
    s.setDrawWidth(3);
    s.point(7, 8, Rgb(4, 5, 6));
    s.setFillStyle(0);
    s.setFillColour(Rgb(7, 7, 7));
    s.circle(10, 11, 2.5, Rgb(8, 8, 8));
    s.setCurrentPosition(5, 6);
    s.print("first");
    s.print("second", true);  // on the next text line, at the left edge
    ASSERT_EQ(list.size(), 5u);
    const auto& it = list.items();
    EXPECT_EQ(it[0].kind, DisplayList::Kind::Line);
    EXPECT_EQ(it[0].colour, Rgb(1, 2, 3));
    EXPECT_EQ(it[0].width, 1);
    EXPECT_FLOAT_EQ(it[0].x1, 1.25f);
    EXPECT_FLOAT_EQ(it[0].y2, 4.0f);
    EXPECT_EQ(it[1].kind, DisplayList::Kind::Point);
    EXPECT_EQ(it[1].width, 3);
    EXPECT_EQ(it[1].colour, Rgb(4, 5, 6));
    EXPECT_EQ(it[2].kind, DisplayList::Kind::Circle);
    EXPECT_TRUE(it[2].filled);
    EXPECT_EQ(it[2].fill, Rgb(7, 7, 7));
    EXPECT_FLOAT_EQ(it[2].x2, 2.5f);
    EXPECT_EQ(it[3].kind, DisplayList::Kind::Text);
    EXPECT_EQ(list.text(it[3]), "first");
    EXPECT_FLOAT_EQ(it[3].x1, 5.0f);
    EXPECT_FLOAT_EQ(it[3].y1, 6.0f);
    EXPECT_EQ(list.text(it[4]), "second");
    EXPECT_FLOAT_EQ(it[4].x1, 0.0f);
    EXPECT_FLOAT_EQ(it[4].y1, 19.0f);  // 6 + the line height of the recording surface

    s.setBackColour(Rgb(0, 0, 128));
    s.clear();
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(list.hasBackground());
    EXPECT_EQ(list.background(), Rgb(0, 0, 128));
    {
        RecorderPause pause(s);
        s.line(0, 0, 5, 5);
        EXPECT_EQ(s.recorder(), nullptr);
    }
    EXPECT_EQ(s.recorder(), &list);
    EXPECT_TRUE(list.empty());
    s.setRecorder(nullptr);
    s.line(0, 0, 5, 5);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(s.ops.size(), 9u);  // the surface itself drew everything
}

TEST(SvgDocument, SmallSceneBecomesPathsSquaresCirclesAndEscapedTexts) {
    RecordingSurface s(300, 250);
    DisplayList list;
    s.setRecorder(&list);
    DrawSmallScene(s);
    SvgTextStyle style;
    style.family = "IPAPGothic";
    style.pixelSize = 12;
    style.ascent = 10.5;
    const std::string svg = Svg(list, 300, 250, style);
    EXPECT_EQ(svg.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n", 0), 0u);
    // The second line names the program that wrote the drawing.
    EXPECT_EQ(svg.find(std::string("\n<!-- generator=ammonite ") + kVersion + " -->\n<svg "), svg.find('\n'));
    EXPECT_EQ(svg.find("<image"), std::string::npos);
    EXPECT_EQ(svg.substr(svg.size() - 12), "</g>\n</svg>\n");

    const std::vector<Element> e = Elements(svg);
    ASSERT_EQ(e.size(), 11u) << svg;
    EXPECT_EQ(e[0].tag, "svg");
    EXPECT_EQ(e[0].attr("width"), "300");
    EXPECT_EQ(e[0].attr("height"), "250");
    EXPECT_EQ(e[0].attr("viewBox"), "0 0 300 250");
    EXPECT_EQ(e[0].attr("version"), "1.1");
    EXPECT_EQ(e[2].tag, "rect");  // the background, in the colour of the clear
    EXPECT_EQ(e[2].attr("width"), "300");
    EXPECT_EQ(e[2].attr("fill"), "#000080");

    // The three red segments meet end to end: one path through four points.
    EXPECT_EQ(e[3].tag, "path");
    EXPECT_EQ(e[3].attr("stroke"), "#ff0000");
    EXPECT_EQ(e[3].attr("fill"), "");
    const std::vector<Point> red = PathPoints(e[3].attr("d"));
    const std::vector<Point> expected{{1000, 1000}, {2000, 1000}, {2050, 3025}, {500, 4000}};
    EXPECT_EQ(red, expected);
    EXPECT_EQ(e[4].attr("stroke"), "#00ff00");
    EXPECT_EQ(e[4].attr("stroke-width"), "");
    EXPECT_EQ(e[5].attr("stroke-width"), "3");
    EXPECT_EQ(PathPoints(e[5].attr("d")), (std::vector<Point>{{3000, 500}, {4000, 500}}));

    EXPECT_EQ(e[6].tag, "rect");  // the point: a square of the pen's width around it
    EXPECT_EQ(e[6].attr("x"), "48.5");
    EXPECT_EQ(e[6].attr("width"), "3");
    EXPECT_EQ(e[6].attr("fill"), "#0000ff");
    EXPECT_EQ(e[7].tag, "circle");
    EXPECT_EQ(e[7].attr("r"), "4.5");
    EXPECT_EQ(e[7].attr("fill"), "#090807");
    EXPECT_EQ(e[7].attr("stroke"), "#010101");
    EXPECT_EQ(e[8].tag, "circle");
    EXPECT_EQ(e[8].attr("fill"), "");  // not filled: the group's fill="none" holds
    EXPECT_NE(svg.find("<g fill=\"none\""), std::string::npos);

    EXPECT_EQ(e[9].tag, "text");
    EXPECT_EQ(e[9].content, "a&lt;b &amp; &quot;c&quot; &gt; &apos;d&apos;");
    EXPECT_EQ(e[9].attr("x"), "100");
    EXPECT_EQ(e[9].attr("y"), "210.5");  // the baseline: top + ascent
    EXPECT_EQ(e[9].attr("font-family"), "IPAPGothic");
    EXPECT_EQ(e[9].attr("font-size"), "12");
    EXPECT_EQ(e[9].attr("fill"), "#0c2238");
    EXPECT_EQ(e[10].content, "殻の成長 3.5");
    EXPECT_EQ(e[10].attr("x"), "0");
    EXPECT_EQ(e[10].attr("y"), "223.5");  // one text line (13) lower
}

TEST(SvgDocument, NumbersKeepTwoDecimalsAndFarOrBrokenLinesStaySafe) {
    DisplayList list;
    list.addLine(10.5, 20.25, 1.0 / 3.0, 3.10, Rgb(0, 0, 0), 1);
    list.addLine(-1e12, 10, 1e12, 10, Rgb(1, 0, 0), 1);     // clipped to the surface and a margin
    list.addLine(std::nan(""), 0, 5, 5, Rgb(2, 0, 0), 1);   // dropped
    list.addCircle(1e30, 1e30, 5, Rgb(3, 0, 0), false, {});  // far outside: dropped
    list.addLine(-0.004, 0.001, 2, 2, Rgb(4, 0, 0), 1);
    const std::vector<Element> e = Elements(Svg(list, 100, 50));
    ASSERT_EQ(e.size(), 6u);
    EXPECT_EQ(e[3].attr("d"), "M10.5 20.25l-10.17 -17.15");
    EXPECT_EQ(e[4].attr("d"), "M-3 10l106 0");
    EXPECT_EQ(e[5].attr("d"), "M0 0l2 2");  // no "-0"
    // Invalid UTF-8 and control characters cannot break the document.
    EXPECT_EQ(XmlEscaped(std::string("a\x01" "b\xC3(", 5)), "ab\xEF\xBF\xBD(");
    EXPECT_EQ(XmlEscaped("\xE6\xAE\xBB"), "\xE6\xAE\xBB");
}

namespace {
// Decimal comma and grouping, as a German locale writes numbers.
struct SvgCommaNumbers : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};
}  // namespace

TEST(SvgDocument, WrittenTheSameWhateverTheLocale) {
    DisplayList list;
    NullSurface s(1200, 900);
    s.setRecorder(&list);
    DrawSmallScene(s);
    s.line(1134.56, 10.5, 1100.25, 800.75, Rgb(5, 5, 5));
    const std::string plain = Svg(list, 1200, 900);

    const std::string savedC = std::setlocale(LC_ALL, nullptr);
    const std::locale savedCpp = std::locale::global(std::locale(std::locale::classic(), new SvgCommaNumbers));
    bool germanC = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE"})
        if (std::setlocale(LC_ALL, name)) {
            germanC = true;
            break;
        }
    std::ostringstream out;  // takes the comma locale of its creation
    WriteSvg(out, list, 1200, 900, Rgb(255, 255, 255));
    std::setlocale(LC_ALL, savedC.c_str());
    std::locale::global(savedCpp);
    EXPECT_EQ(out.str(), plain);
    EXPECT_NE(plain.find("M1134.56 10.5l-34.31 790.25\""), std::string::npos);
    if (!germanC) std::cout << "[   NOTE   ] no German C locale here; only the stream locale was changed\n";
}

TEST(SvgWireframe, DefaultStartIsJoinedIntoPathsThroughTheRecordedPoints) {
    // The picture of the default START: axes, rings, markers and chart.
    test_support::GrownShell shell;
    RecordingSurface surface;
    DisplayList list;
    surface.setRecorder(&list);
    RunPainter painter(surface);
    painter.prepare(*shell.model);
    ASSERT_NO_THROW(shell.start(0, &painter));
    painter.drawMarkers(shell.run);
    DrawRegulationChart(surface, shell.run, shell.model->shownStage);
    const int width = surface.width(), height = surface.height();

    // Every segment drawn inside the picture, as (colour, width, unordered ends).
    using Segment = std::tuple<std::string, std::string, Point, Point>;
    auto segment = [](std::string colour, std::string width, Point a, Point b) {
        if (b < a) std::swap(a, b);
        return Segment{colour, width, a, b};
    };
    auto inside = [&](const Point& p) {
        return p.first >= 0 && p.second >= 0 && p.first <= width * 100 && p.second <= height * 100;
    };
    std::multiset<Segment> recorded;
    size_t lines = 0, texts = 0;
    for (const auto& item : list.items()) {
        if (item.kind == DisplayList::Kind::Text) ++texts;
        if (item.kind != DisplayList::Kind::Line) continue;
        ++lines;
        const Point a{InHundredths(item.x1), InHundredths(item.y1)}, b{InHundredths(item.x2), InHundredths(item.y2)};
        if (a == b || !inside(a) || !inside(b)) continue;
        recorded.insert(segment(Hex(item.colour), item.width == 1 ? "" : std::to_string(item.width), a, b));
    }
    EXPECT_GT(lines, 50000u);
    EXPECT_GT(recorded.size(), lines / 2);

    std::multiset<Segment> written;
    size_t paths = 0, textElements = 0;
    for (const Element& e : Elements(Svg(list, width, height))) {
        if (e.tag == "text") ++textElements;
        if (e.tag != "path") continue;
        ++paths;
        const std::vector<Point> p = PathPoints(e.attr("d"));
        for (size_t i = 1; i < p.size(); ++i)
            if (p[i] != p[i - 1] && inside(p[i]) && inside(p[i - 1]))
                written.insert(segment(e.attr("stroke"), e.attr("stroke-width"), p[i - 1], p[i]));
    }
    EXPECT_EQ(written, recorded);
    EXPECT_LT(paths, lines / 10) << "the rings should be joined into paths";
    EXPECT_EQ(textElements, texts);
}

namespace {

struct SmallShell {
    ModelState model;
    std::unique_ptr<RunState> run = std::make_unique<RunState>();
    SmallShell() {
        testshell::DefaultSettings(model, *run, 6, 160, 140);
        testshell::LayRibs(*run, {20, 40, 60});
        testshell::Build(model, *run, {90, 1.012, 0.25, 0.35, 0.05});
    }
};

// A raster surface that hides its pixels, so the shading paints it line by line.
class SvgLineByLineSurface : public RasterSurface {
public:
    using RasterSurface::RasterSurface;
    PixelBuffer* pixelBuffer() override { return nullptr; }
};

}  // namespace

TEST(SvgShadedShell, RecordedAsOneItemAndWrittenAsPolygonsInTheShadingColours) {
    SmallShell shell;
    RecordingSurface surface(320, 280);
    DisplayList list;
    surface.setRecorder(&list);
    surface.line(0, 0, 10, 10);  // wiped by the shading's clear
    ShadeRun(surface, shell.model, *shell.run);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list.items()[0].kind, DisplayList::Kind::ShadedShell);
    EXPECT_EQ(surface.recorder(), &list);

    // The surface itself was painted as before: faces with width 2, growth lines with width 1.
    std::set<std::string> faceColours, growthColours;
    size_t faceLines = 0;
    float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
    for (const auto& op : surface.ops) {
        if (op.kind != RecordingSurface::Op::Line) continue;
        if (op.width == 2) {
            faceColours.insert(Hex(op.colour));
            ++faceLines;
            minX = std::min({minX, float(op.x1), float(op.x2)}), maxX = std::max({maxX, float(op.x1), float(op.x2)});
            minY = std::min({minY, float(op.y1), float(op.y2)}), maxY = std::max({maxY, float(op.y1), float(op.y2)});
        } else {
            growthColours.insert(Hex(op.colour));
        }
    }
    ASSERT_GT(faceLines, 6000u);
    ASSERT_FALSE(growthColours.empty());

    const std::string svg = Svg(list, 320, 280);
    // The item holds its own copy of the tables: later runs do not change it.
    shell.model.originX = 0;
    shell.run->radiusByStage.fill(Fixed4(0.0));
    EXPECT_EQ(Svg(list, 320, 280), svg);
    EXPECT_EQ(svg.find("<image"), std::string::npos);
    EXPECT_NE(svg.find("<g fill=\"currentColor\" stroke=\"currentColor\">"), std::string::npos);

    size_t polygons = 0, growthLines = 0;
    std::int64_t pMinX = INT64_MAX, pMaxX = INT64_MIN, pMinY = INT64_MAX, pMaxY = INT64_MIN;
    for (const Element& e : Elements(svg)) {
        if (e.tag != "path") continue;
        const std::string d = e.attr("d");
        // Polygons and growth lines take their colour from the colour property.
        EXPECT_EQ(e.attr("stroke"), "");
        if (e.attr("fill").empty()) {
            ++polygons;
            const std::vector<Point> points = PathPoints(d);
            EXPECT_TRUE(d.back() == 'z' || points.size() == 2) << d;  // closed, or shrunk to a dot
            EXPECT_TRUE(faceColours.count(e.attr("color"))) << e.attr("color");
            for (const Point& p : points) {
                pMinX = std::min(pMinX, p.first), pMaxX = std::max(pMaxX, p.first);
                pMinY = std::min(pMinY, p.second), pMaxY = std::max(pMaxY, p.second);
            }
        } else {
            ++growthLines;
            EXPECT_EQ(e.attr("fill"), "none");
            EXPECT_TRUE(growthColours.count(e.attr("color"))) << e.attr("color");
        }
    }
    EXPECT_GT(polygons, 100u);
    EXPECT_LT(polygons, faceLines / 6) << "quads of one colour should be merged";
    EXPECT_GT(growthLines, 0u);
    // The polygons cover the same stretch of the picture as the lines.
    EXPECT_NEAR(pMinX, InHundredths(minX), 1);
    EXPECT_NEAR(pMaxX, InHundredths(maxX), 1);
    EXPECT_NEAR(pMinY, InHundredths(minY), 1);
    EXPECT_NEAR(pMaxY, InHundredths(maxY), 1);
}

TEST(SvgShadedShell, PaintingShapesLeavesTheSurfaceAsTheLinesDo) {
    SmallShell a, b;
    std::ostringstream sink;
    SvgSurface svg(sink, 320, 280);
    SvgLineByLineSurface reference(320, 280);
    ShadeRun(svg, a.model, *a.run);
    ShadeRun(reference, b.model, *b.run);
    EXPECT_EQ(svg.drawWidth(), 1);
    EXPECT_EQ(svg.fillColour(), reference.fillColour());
    EXPECT_EQ(svg.currentX(), reference.currentX());
    EXPECT_EQ(svg.currentY(), reference.currentY());
}
