// The default run, end to end: the main window as it opens, START pressed
// once and then again. Every label, the tangent stage and a few rows of the
// per-stage tables are pinned to the values of the verified program, so any
// change of the model's numbers shows here.
#include <gtest/gtest.h>

#include <map>
#include <tuple>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/main_window_logic.h"
#include "model/stage_results.h"

using namespace ammonite;

namespace {

struct Shown {
    std::string num, max, scale, ptRatio, orientation, density, stability, fatigue, ft1, ft2, st1, st2, status;
    int tangentStage;
    bool operator==(const Shown& o) const {
        return std::tie(num, max, scale, ptRatio, orientation, density, stability, fatigue, ft1, ft2, st1, st2,
                        status, tangentStage) == std::tie(o.num, o.max, o.scale, o.ptRatio, o.orientation,
                                                          o.density, o.stability, o.fatigue, o.ft1, o.ft2, o.st1,
                                                          o.st2, o.status, o.tangentStage);
    }
};

std::ostream& operator<<(std::ostream& out, const Shown& s) {
    return out << "NUM " << s.num << ", MAX " << s.max << ", SCL " << s.scale << ", PTR " << s.ptRatio << ", ORI "
               << s.orientation << ", DNS " << s.density << ", STB " << s.stability << ", FATIG " << s.fatigue
               << ", FT1 " << s.ft1 << ", FT2 " << s.ft2 << ", ST1 " << s.st1 << ", ST2 " << s.st2 << ", status '"
               << s.status << "', tangent stage " << s.tangentStage;
}

struct DefaultWindow {
    std::unique_ptr<ModelState> model = std::make_unique<ModelState>();
    RecordingSurface surface;
    MemoryLog log;
    std::unique_ptr<MainWindowLogic> logic = std::make_unique<MainWindowLogic>(*model, surface, log);

    DefaultWindow() { logic->Load(); }

    Shown shown() const {
        const MainWindowLogic& L = *logic;
        return {L.NUMtxt.text(),       L.MAXtxt.text(),      L.SCLtxt.text(),      L.PTRtxt.text(),
                L.ORIlbl.caption(),    L.DNSlbl.caption(),   L.STBlbl.caption(),   L.FATIGlbl.caption(),
                L.FT1lbl.caption(),    L.FT2lbl.caption(),   L.ST1lbl.caption(),   L.ST2lbl.caption(),
                L.statusLine.caption(), L.run.tangentStage};
    }
    // The rows of the per-stage tables, by stage.
    std::map<std::string, std::string> stageRows() const {
        std::ostringstream out;
        WriteStageTables(out, *model, logic->run, logic->run.lastBuiltStage);
        std::map<std::string, std::string> rows;
        std::istringstream in(out.str());
        std::string line;
        while (std::getline(in, line)) rows[line.substr(0, line.find(','))] = line;
        return rows;
    }
    void expectRows(const std::vector<std::string>& expected) const {
        const auto rows = stageRows();
        for (const std::string& row : expected) {
            const std::string stage = row.substr(0, row.find(','));
            ASSERT_TRUE(rows.count(stage)) << "stage " << stage;
            EXPECT_EQ(rows.at(stage), row) << "stage " << stage;
        }
    }
};

}  // namespace

TEST(DefaultRunGolden, FirstStart) {
    DefaultWindow w;
    w.logic->ClickStart();
    EXPECT_EQ(w.shown(), (Shown{"1699", "3000", "2", "63.1", "73.6", "1.151", "0.178", "\xCF\x86=", "0", "0", "2",
                                "3", "", 1591}));
    EXPECT_EQ(w.logic->run.lastBuiltStage, 1700);
    w.expectRows({
        "2,1.01,-0.0573,0,0.4743,0.8385,0,0.9407,4,1,0,12,0.24,0,0.48119999999999996,1.5193,0,0,0.1209,0.0573,0.4743,0,10.900002,18.146680181786035,-2418.703241895262,0,0,0,0,0,0.004823044452253702,0,0,0.008660926481632547,0.09763030868355295",
        "500,3.8381,12.007,0,18.9504,15.5301,0,17.4277,4.5,0,0,12,0.06,3,138.8673781200001,2901.2505,-2.1066,0,-10.2724,-12.007,18.9504,0,-83.13,1.0066503777013003,66.83367928196903,-10.051848024635575,0,-23.89674669689415,3.624878745058858,0,-0.44404877175240165,0.2086868836609401,0,-6.302096324272391,0.3222499138362632",
        "1591,17.1931,66.3053,0,192.5714,67.8387,0,209.6959,4.5,0.7,0,12,0.06,4,648.9854719000001,201845.4329,48.4877,0,87.0538,-66.3053,192.5714,0,36.95,1.116572072071521,68.20927294474309,6.854436673184851,0,8.779127094263687,63.271129465427364,0,114.84812258590011,55.32712401852692,0,99.91260197614399,0.24828895016515154",
        "1699,23.5904,4.6443,0,94.5659,-17.0102,0,103.9249,1.5,0,0,12,0.0599,0,771.2906367799995,361419.7904,39.2126,0,112.3031,-4.6443,94.5659,0,73.65,1.1506710100641022,63.29725961904214,14.532835353845025,0,16.39567805370467,45.90518143164695,0,138.31094141715772,42.415440692242626,0,124.74955011223118,0.18042537958002297",
    });
}

// The second START grows the shell again from what the first one left (its
// life orientation among it): its values differ a little from the first's.
TEST(DefaultRunGolden, SecondStart) {
    DefaultWindow w;
    w.logic->ClickStart();
    w.logic->ClickStart();
    EXPECT_EQ(w.shown(), (Shown{"1698", "3000", "2", "63.2", "73.6", "1.15", "0.180", "\xCF\x86=", "0", "0", "2",
                                "3", "", 1591}));
    EXPECT_EQ(w.logic->run.lastBuiltStage, 1699);
    w.expectRows({
        "2,1.01,-0.0573,0,0.4743,0.8385,0,0.9407,4,1,0,12,0.24,0,0.48119999999999996,1.5193,0,0,0.1209,-0.0573,0.4743,0,10.900002,18.146680181786035,-2418.703241895262,0,0,0,0,0,0.004823044452253702,0,0,0.008660926481632547,0.09763030868355295",
        "500,3.8381,12.007,0,18.9504,15.5301,0,17.4277,4.5,0,0,12,0.06,3,138.8673781200001,2901.2505,-2.1066,0,-10.2724,12.007,18.9504,0,-83.13,1.0066503777013003,66.83367928196903,-10.051848024635575,0,-23.89674669689415,3.624878745058858,0,-0.44404877175240165,0.2086868836609401,0,-6.302096324272391,0.3222499138362632",
        "1698,23.4732,5.2021,0,95.8566,-16.3448,0,105.169,1.5,0,0,12,0.0599,0,769.8845920999995,358985.9436,39.4432,0,112.4146,5.2021,95.8566,0,73.65,1.1496581403992403,63.412905922474536,14.532911073973738,0,16.395786815344096,46.25662428395841,0,138.67757030340462,42.70073341034071,0,124.97108282393658,0.18252371060543288",
    });
}
