#include "cli/terminal_user_interface.h"

#include <gtest/gtest.h>

#include <sstream>

namespace vantrel::cli {
namespace {

// A terminal user interface over string streams.
class CliTerminalTest : public ::testing::Test {
 protected:
  TerminalUserInterface& Ui(const std::string& answers, bool assumeYes = false,
                            bool errIsTerminal = false) {
    answers_.clear();
    answers_.str(answers);
    ui_ = std::make_unique<TerminalUserInterface>(
        TerminalStreams{&out_, &err_, errIsTerminal, &answers_, &questions_, assumeYes, {}});
    return *ui_;
  }

  std::ostringstream out_, err_, questions_;
  std::istringstream answers_;
  std::unique_ptr<TerminalUserInterface> ui_;
};

TEST_F(CliTerminalTest, OkCancelAnswers) {
  const std::pair<const char*, bool> cases[] = {
      {"ok\n", true}, {"\n", true}, {"Y\r\n", true},      {"cancel\n", false},
      {"n\n", false}, {"", false},  {"what\nok\n", true}, {"what\n", false}};
  for (const auto& [answers, expected] : cases) {
    EXPECT_EQ(Ui(answers).AskOkCancel("Insert the tape"), expected) << answers;
  }
  EXPECT_NE(questions_.str().find("Insert the tape [OK/cancel] "), std::string::npos);
}

TEST_F(CliTerminalTest, YesNoWantsAnAnswer) {
  EXPECT_FALSE(Ui("\n\nno\n").AskYesNo("Overwrite?"));
  EXPECT_TRUE(Ui("\nyes\n").AskYesNo("Overwrite?"));
  EXPECT_FALSE(Ui("\n").AskYesNo("Overwrite?"));  // the end of input says no
}

TEST_F(CliTerminalTest, InputOffersItsValue) {
  EXPECT_EQ(Ui("\n").InputQuery("Restoredialog", "Restore to:", "/r/a"), "/r/a");
  EXPECT_EQ(Ui("/other\n").InputQuery("Restoredialog", "Restore to:", "/r/a"), "/other");
  EXPECT_EQ(Ui("").InputQuery("Goto Block", "Move to", ""), std::nullopt);
  EXPECT_EQ(Ui("a\nb\n\nc\n").OpenFilesDialog("*.*"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(Ui("\n").OpenFileDialog("", "*.job"), std::nullopt);
}

TEST_F(CliTerminalTest, YesAnswersWithoutReadingButNotForever) {
  TerminalUserInterface& ui = Ui("no\n", true);
  EXPECT_TRUE(ui.AskYesNo("Overwrite?"));
  EXPECT_EQ(ui.InputQuery("Restoredialog", "Restore to:", "/r/a"), "/r/a");
  EXPECT_EQ(questions_.str(), "");
  for (int i = 0; i < TerminalUserInterface::kMaxRepeatedAnswers - 1; ++i) {
    ASSERT_TRUE(ui.AskOkCancel("Insert tape 1"));
  }
  EXPECT_TRUE(ui.AskOkCancel("Insert tape 1"));
  EXPECT_FALSE(ui.AskOkCancel("Insert tape 1"));
  EXPECT_TRUE(ui.AskOkCancel("Insert tape 2"));
}

TEST_F(CliTerminalTest, ProtocolLinesGoToStandardOutputWithoutCarriageReturns) {
  TerminalUserInterface& ui = Ui("");
  ui.ProtocolLineAppended("Error: now : No media in drive.\r\n");
  ui.ProtocolLineAppended("");
  ui.MessageBox("Error", "No media in drive.\r\n", MessageIcon::kError);
  EXPECT_EQ(out_.str(), "Error: now : No media in drive.\n\n\n");
  EXPECT_EQ(err_.str(), "Error: No media in drive.\n");
}

TEST_F(CliTerminalTest, StatusLines) {
  TerminalUserInterface& plain = Ui("");
  plain.SetStatusLine("Rewind Tape ");
  plain.SetStatusLine("Rewind Tape ");
  plain.SetStatusLine("");
  plain.SetStatusLine("Tape : At First pos");
  EXPECT_EQ(err_.str(), "Rewind Tape \nTape : At First pos\n");

  err_.str("");
  TerminalUserInterface& terminal = Ui("", false, true);
  terminal.SetStatusLine("Reading Catalog");
  terminal.ProtocolLineAppended("line");
  terminal.SetStatusLine("Tape at pos: 5");
  terminal.Finish();
  EXPECT_EQ(err_.str(), "\r\x1b[KReading Catalog\r\x1b[K\r\x1b[KTape at pos: 5\n");
  EXPECT_EQ(out_.str(), "line\n");
}

}  // namespace
}  // namespace vantrel::cli
