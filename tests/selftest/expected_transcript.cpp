#include "expected_transcript.h"

#include <regex>
#include <sstream>
#include <utility>

#include "box_model.h"

namespace {

std::string hex(unsigned long value)
{
    std::ostringstream text;
    text << std::hex << value;
    return text.str();
}

// The healthy box's answers that the simulator chooses.
const std::string id_box = "[success]  Get_ID = " + hex(tester_sim::box_id) + "h";
const std::string timer_box =
    "[]  RD_Timer  = " + std::to_string(5 * tester_sim::timer_step_us) + " (23040) мксек ";

// Starting both sides loops the output side's first 64 words (its length) back
// into the input side, so the input words that loop D shows are output words.
constexpr unsigned long looped_back_word(int index) { return 0x12345600UL + index; }
constexpr int words_looped_back = 64;

struct StepBox {
    int step;
    ExpectedBox box;
};

std::vector<StepBox> steps_of_passing_run(unsigned char status_at_step_38)
{
    std::vector<StepBox> boxes = {
        {1, {id_box}},
        {2, {"[]  RegRS = 24h "}},
        {3, {"[] Set_SI"}},
        {4, {"[] Set_SO"}},
        {5, {"[]  RegRS = 9h (9h)"}},
        {6, {"[success] Tester_Reset"}},
        {7, {"[]  RegRS = 24h (24h)"}},
        {8, {"[success] Set_SI_Mod2 "}},
        {9, {"[]  RD_Mod_SI  = 2h (2h)"}},
        {10, {"[] Set_SI_Mod3 "}},
        {11, {"[]  RD_Mod_SI  = 3h (3h)"}},
        {12, {"[]  RD_Param_SI = 15h (15h)"}},
        {13, {"[] Set_SI_Mod4   "}},
        {14, {"[]  RD_Mod_SI  = 4h (4h)"}},
        {15, {"[]  RD_Param_SI = adh (adh)"}},
        {16, {"[success] Set_SI_Mod1  "}},
        {17, {"[]  RD_Mod_SI  = 1h (1h)"}},
        {18, {"[] Set_SO_Mod2  "}},
        {19, {"[]  RD_Mod_SO  = 2h (2h)"}},
        {20, {"[]  RD_Param_SO = 80h (80h)"}},
        {21, {"[] Set_SO_Mod1   "}},
        {22, {"[]  RD_Mod_SO  = 1h (1h)"}},
        {23, {"[]  RD_Param_SO = 40h (40h)"}},
        {24, {"[] Put_ArincWordSO"}},
        {25, {"[] Put_ArincWordSI "}},
        {26, {"[] WR_Timer_Param "}},
        {27, {"[] start SSI"}},
        {28, {"[] start SSO "}},
        {29, {"[] Get_ArincWordSO"}},
    };
    for (int work1 = 9; work1 <= 15; ++work1) {
        boxes.push_back({30, word_box(looped_back_word(work1), work1)});
    }
    boxes.push_back({30, {"[] Get_ArincWordSI "}});
    boxes.push_back({31, {timer_box}});
    boxes.push_back({38, {"[]  RegRS = " + hex(status_at_step_38) + "h "}});
    if (status_at_step_38 & 0x40) boxes.push_back({39, {"[] stop SSI"}});
    boxes.push_back({40, {"[] stop SSO "}});
    boxes.push_back({41, {"[]  RD_Count_SI = " + hex(words_looped_back) + "h "}});
    boxes.push_back({42, {"[]  RD_Count_SO  = " + hex(words_looped_back) + "h "}});
    return boxes;
}

Transcript opening(Build build)
{
    if (build == Build::port_io) return {{"[DLL version] 2.0"}};
    return {{"[DLL version] 2.1"}, {"[success]  hComm = ", true}};
}

const ExpectedBox close_box = {"[success] CloseHandle"};

}  // namespace

Transcript passing_run(Build build, unsigned char status_at_step_38)
{
    Transcript boxes = opening(build);
    for (const StepBox &box : steps_of_passing_run(status_at_step_38)) boxes.push_back(box.box);
    boxes.push_back(build == Build::serial ? close_box : ExpectedBox{"[success] end"});
    return boxes;
}

Transcript boxes_before_step(Build build, int step)
{
    Transcript boxes = opening(build);
    // Up to step 38, which is where the status read there starts to show.
    for (const StepBox &box : steps_of_passing_run(0)) {
        if (box.step < step) boxes.push_back(box.box);
    }
    return boxes;
}

Transcript failure_report(Build build, int err_num, int ret_vol)
{
    Transcript boxes = {{"[Error]  ErrNum = " + std::to_string(err_num) +
                         ",  RetVol = " + std::to_string(ret_vol)}};
    if (build == Build::serial) boxes.push_back(close_box);
    return boxes;
}

ExpectedBox word_box(unsigned long codIntL, int work1)
{
    return {"[]  codIntL = " + hex(codIntL) +
            "h work1 = " + hex(static_cast<unsigned long>(work1)) + "h"};
}

Transcript operator+(Transcript first, const Transcript &second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

bool matches(const ExpectedBox &expected, const std::string &line)
{
    if (!expected.any_handle) return line == expected.line;
    static const std::regex positive_number("[1-9][0-9]*");
    return line.rfind(expected.line, 0) == 0 &&
           std::regex_match(line.substr(expected.line.size()), positive_number);
}
