// The progress operations against a recording view.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "format/install_script.h"
#include "payload/command_line.h"
#include "payload/messages.h"
#include "payload/product_flags.h"
#include "platform/process.h"
#include "ui/progress.h"
#include "ui/progress_view.h"

namespace kova::ui {
namespace {

struct RecordingView final : ProgressView {
  platform::WindowHandle Open(const char* title, const char* prompt, const char* cancel, bool enabled) override {
    calls.push_back(std::string("open ") + title + "|" + prompt + "|" + cancel + (enabled ? "" : " disabled"));
    return nullptr;
  }
  void Close() override { calls.push_back("close"); }
  void SetStatus(const char* text) override { calls.push_back(std::string("status ") + text); }
  void SetPosition(i32 percent) override { calls.push_back("position " + std::to_string(percent)); }
  std::vector<std::string> calls;
};

class ProgressTest : public testing::Test {
 protected:
  void SetUp() override {
    core::Array<core::String> languages;
    languages.Append("English");
    core::Array<core::Array<core::String>> table;
    for (int n = 0; n < 60; ++n) {
      core::Array<core::String> texts;
      texts.Append(core::Formatted("message %d", n));
      table.Append(texts);
    }
    table[29][0] = "Unpacking 100% of %s";
    payload::SetMessageTable(static_cast<core::Array<core::String>&&>(languages),
                             static_cast<core::Array<core::Array<core::String>>&&>(table));
    SetProgressView(&view);
  }
  void TearDown() override {
    CloseProgress();
    SetProgressView(nullptr);
    payload::SetMessageTable({}, {});
    payload::SetProductFlags(0);
    payload::SetAutomaticMode(false);
  }
  RecordingView view;
};

TEST_F(ProgressTest, ShowsPhasesAndPositionsWhileOpen) {
  SetPosition(5);  // nothing is open yet
  OpenProgress();
  SetPhaseAndPosition(29, 40);
  SetStatus("%s -> %s", "a.txt", "C:\\App\\a.txt");
  CloseProgress();
  std::vector<std::string> expected = {"open message 54|message 39|message 49", "status Unpacking 100% of %s",
                                       "position 40", "status a.txt -> C:\\App\\a.txt", "close"};
  EXPECT_EQ(view.calls, expected);
}

TEST_F(ProgressTest, CancelDisabledByTheFlag) {
  payload::SetProductFlags(format::kFlagNoCancel);
  OpenProgress();
  EXPECT_EQ(view.calls[0], "open message 54|message 39|message 49 disabled");
}

TEST_F(ProgressTest, WaitStepHoldsUnlessAutomatic) {
  payload::SetAutomaticMode(true);
  StartStep();
  u32 start = platform::TickCount();
  WaitStep(100000);  // would be 100 s
  EXPECT_LT(platform::TickCount() - start, 1000u);

  payload::SetAutomaticMode(false);
  StartStep();
  start = platform::TickCount();
  WaitStep(50);
  EXPECT_GE(platform::TickCount() - start, 40u);
}

}  // namespace
}  // namespace kova::ui
