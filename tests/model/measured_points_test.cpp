// The specimen file and the fit's refusals: every bad file is refused with a
// message that names the row, and nothing is fitted from it.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "model/fit.h"
#include "model/measured_points.h"

namespace {

using namespace ammonite;

std::string header3 = "x_mm,y_mm,z_mm\n";

// A gently curved tube of `n` points.
std::string arc(int n, bool radius = false, const std::string& marks = "") {
    std::string t = radius ? "x_mm,y_mm,z_mm,radius_mm" + std::string(marks.empty() ? "" : ",mark") + "\n" : header3;
    for (int i = 0; i < n; ++i) {
        t += std::to_string(10 * std::cos(i * 0.1)) + "," + std::to_string(10 * std::sin(i * 0.1)) + "," +
             std::to_string(0.1 * i);
        if (radius) t += "," + std::to_string(1 + 0.02 * i);
        if (!marks.empty()) t += ",";
        t += "\n";
    }
    return t;
}

std::string refusal(const std::string& text) {
    Specimen s;
    std::string error;
    EXPECT_FALSE(ParseSpecimen(text, s, error));
    return error;
}

TEST(SpecimenFile, ReadsThreeAndTwoColumnFilesWithRadiiAndMarks) {
    Specimen s;
    std::string error;
    ASSERT_TRUE(ParseSpecimen(arc(12), s, error)) << error;
    EXPECT_EQ(s.points.size(), 12u);
    EXPECT_FALSE(s.planar);
    EXPECT_FALSE(s.hasRadii());
    EXPECT_EQ(s.rows.front(), 2);

    std::string planar = "# a photograph\ny_mm, x_mm ,radius_mm,mark\n";
    for (int i = 0; i < 10; ++i)
        planar += std::to_string(i) + "," + std::to_string(i * i) + "," + (i == 3 ? "" : "1.5") + "," +
                  (i == 7 ? "septum" : i == 9 ? "aperture" : "") + "\n";
    ASSERT_TRUE(ParseSpecimen(planar, s, error)) << error;
    EXPECT_TRUE(s.planar);
    EXPECT_EQ(s.points[2].x, 4);  // columns in any order
    EXPECT_EQ(s.points[2].y, 2);
    EXPECT_TRUE(std::isnan(s.radii[3]));
    EXPECT_EQ(s.septumIndex, 7);
    EXPECT_EQ(s.apertureIndex, 9);
}

TEST(SpecimenFile, RefusesBadFilesNamingTheRow) {
    EXPECT_NE(refusal(header3 + "1,2,3\n4,5,6\n7,8,9\n").find("only 3 points (last at row 4)"), std::string::npos);
    EXPECT_NE(refusal(header3 + "1,2,3\n").find("only 1 point"), std::string::npos);
    EXPECT_NE(refusal("").find("empty"), std::string::npos);

    std::string nan = arc(12);
    nan.insert(nan.find('\n', nan.find('\n', nan.find('\n') + 1) + 1) + 1, "nan,1,2\n");
    EXPECT_EQ(refusal(nan).rfind("row 4: x_mm is not a finite number", 0), 0u) << refusal(nan);
    EXPECT_EQ(refusal(header3 + "1,2,inf\n").rfind("row 2: z_mm", 0), 0u);
    EXPECT_EQ(refusal(header3 + "1,2\n").rfind("row 2: 2 fields", 0), 0u);
    EXPECT_EQ(refusal("x_mm,y_mm,depth\n").rfind("row 1: unknown column \"depth\"", 0), 0u);
    EXPECT_EQ(refusal("x_mm,z_mm\n").rfind("row 1: the header must name x_mm and y_mm", 0), 0u);
    EXPECT_EQ(refusal("x_mm,y_mm,radius_mm\n1,2,-1\n").rfind("row 2: radius_mm must be a number above 0", 0), 0u);

    // Markers out of order: the aperture before the last septum, two apertures,
    // points after the aperture.
    const std::string m = "x_mm,y_mm,mark\n";
    EXPECT_EQ(refusal(m + "0,0,\n1,0,aperture\n2,0,septum\n").rfind("row 4: the last septum must come before", 0), 0u);
    EXPECT_EQ(refusal(m + "0,0,septum\n1,0,septum\n").rfind("row 3: a second last septum", 0), 0u);
    EXPECT_EQ(refusal(m + "0,0,\n1,0,aperture\n2,0,\n").rfind("row 4: a point after the aperture (row 3)", 0), 0u);
    EXPECT_EQ(refusal(m + "0,0,wall\n").rfind("row 2: mark \"wall\"", 0), 0u);

    std::string same = header3;
    for (int i = 0; i < 10; ++i) same += "1,1,1\n";
    EXPECT_NE(refusal(same).find("lie at one place"), std::string::npos);

    // Binary data and a line without end.
    EXPECT_EQ(refusal(header3 + std::string("1,2,\0\x01\x02", 7) + "\n").rfind("row 2: not a line of text", 0), 0u);
    EXPECT_EQ(refusal(header3 + std::string(5000, '7')).rfind("row 2: the line is longer than 1000", 0), 0u);

    std::string many = header3;
    for (int i = 0; i <= kMaxSpecimenPoints; ++i) many += std::to_string(i) + ",0,0\n";
    EXPECT_EQ(refusal(many).rfind("row 10002: more than 10000 points", 0), 0u);
}

TEST(SpecimenFile, RefusesHugeAndBinaryFilesWithoutReadingThemWhole) {
    const std::string dir = ::testing::TempDir();
    const std::string huge = dir + "/huge_specimen.csv";
    {
        std::ofstream out(huge, std::ios::binary);
        out << "x_mm,y_mm\n";
        std::string block;
        for (int i = 0; i < 100000; ++i) block += "1,2\n";
        for (int k = 0; k < 100; ++k) out << block;  // 10 M rows
    }
    Specimen s;
    std::string error;
    EXPECT_FALSE(ReadSpecimenFile(huge, s, error));
    EXPECT_NE(error.find("row 10002: more than 10000 points"), std::string::npos) << error;
    std::remove(huge.c_str());

    const std::string bin = dir + "/binary_specimen.csv";
    {
        std::ofstream out(bin, std::ios::binary);
        for (int i = 0; i < 4096; ++i) out.put(static_cast<char>(i * 7 % 256));
    }
    EXPECT_FALSE(ReadSpecimenFile(bin, s, error));
    EXPECT_NE(error.find("row 1:"), std::string::npos) << error;
    std::remove(bin.c_str());

    EXPECT_FALSE(ReadSpecimenFile(dir, s, error));
    EXPECT_NE(error.find("is a folder"), std::string::npos);
    EXPECT_FALSE(ReadSpecimenFile(dir + "/no_such_specimen.csv", s, error));
}

TEST(SpecimenFile, PointsGivenDirectlyPassTheSameChecks) {
    Specimen s;
    std::string error;
    std::vector<double> xy;
    for (int i = 0; i < 10; ++i) xy.insert(xy.end(), {double(i), double(i * i)});
    ASSERT_TRUE(MakeSpecimen(xy, 2, {}, s, error)) << error;
    EXPECT_TRUE(s.planar);
    xy[7] = std::nan("");
    EXPECT_FALSE(MakeSpecimen(xy, 2, {}, s, error));
    EXPECT_EQ(error.rfind("row 4:", 0), 0u) << error;
    EXPECT_FALSE(MakeSpecimen({1, 2, 3}, 3, {}, s, error));
    EXPECT_FALSE(MakeSpecimen(xy, 4, {}, s, error));
}

TEST(FitRefusals, RefusesWhatTheProfileDrivenStagesCannotGrow) {
    Specimen s;
    std::string error;
    // The radius grows a million-fold: more than 200 stages of any α.
    std::string t = "x_mm,y_mm,radius_mm\n";
    for (int i = 0; i < 20; ++i) t += std::to_string(i) + ",0," + std::to_string(std::pow(2.0, i)) + "\n";
    ASSERT_TRUE(ParseSpecimen(t, s, error)) << error;
    FitResult r;
    EXPECT_FALSE(FitSpecimen(s, FitOptions{}, r, error));
    EXPECT_NE(error.find("needs more than 200 profile-driven stages"), std::string::npos) << error;

    ASSERT_TRUE(ParseSpecimen(arc(20), s, error));
    FitOptions o;
    o.knots = 13;
    EXPECT_FALSE(FitSpecimen(s, o, r, error));
    EXPECT_NE(error.find("4 to 12"), std::string::npos);
    o.knots = 4;
    o.beta = -1;
    EXPECT_FALSE(FitSpecimen(s, o, r, error));
}

TEST(FitRefusals, AFitThatDoesNotConvergeSaysSoAndKeepsItsBest) {
    Specimen s;
    std::string error;
    ASSERT_TRUE(ParseSpecimen(arc(30, true), s, error)) << error;
    FitOptions o;
    o.knots = 4;
    o.maxEvaluations = 60;
    FitResult r;
    ASSERT_TRUE(FitSpecimen(s, o, r, error)) << error;
    EXPECT_FALSE(r.converged);
    EXPECT_NE(r.message.find("did not converge"), std::string::npos) << r.message;
    EXPECT_EQ(r.residuals.size(), 30u);
    EXPECT_GT(r.stages, r.firstStage);
    EXPECT_GT(r.mmPerUnit, 0);
    EXPECT_EQ(static_cast<int>(r.stagesTable.size()), r.stages);
}

TEST(FitRefusals, CancellingKeepsTheBestResultSoFar) {
    Specimen s;
    std::string error;
    ASSERT_TRUE(ParseSpecimen(arc(30, true), s, error)) << error;
    FitOptions o;
    o.knots = 4;
    FitResult r;
    int calls = 0;
    ASSERT_TRUE(FitSpecimen(s, o, r, error, [&](const FitProgress& p) {
        EXPECT_LE(p.evaluations, p.budget + 100);
        return ++calls < 2;
    })) << error;
    EXPECT_TRUE(r.cancelled);
    EXPECT_NE(r.message.find("cancelled"), std::string::npos);
    EXPECT_LT(r.evaluations, o.maxEvaluations);
}

}  // namespace
