#include "logging/file_chooser_dialog.h"

#include <gtest/gtest.h>

#include "platform/text.h"
#include "tests/device_fixture.h"

namespace velmora {
namespace {

using ui::DescribeList;
using ui::Dialog;

constexpr int EntryList = 1020;
constexpr int AcceptButton = 1113;
constexpr int FolderText = 1043;
constexpr int NameField = 1112;

class FileChooserTest : public testing::DeviceFixture {
 protected:
  void SetUp() override {
    for (const char16_t* folder :
         {u"\\My Documents", u"\\My Documents\\Personal", u"\\My Documents\\.cache",
          u"\\my documents\\alpha", u"\\Program Files", u"\\Temp"}) {
      ASSERT_TRUE(files_.MakeDirectory(folder)) << ToUtf8(folder);
    }
    PutFile(u"\\My Documents\\Notes.TXT", "n");
    PutFile(u"\\My Documents\\track.log", "t");
    PutFile(u"\\My Documents\\.profile", "p");
    PutFile(u"\\readme.txt", "r");
  }

  // Runs the chooser with script; returns its end code.
  int Run(FileChooserDialog& chooser, const std::function<void(Dialog&)>& script) {
    host_.ExpectDialog(script);
    int result = chooser.RunModal();
    ExpectHostClean();
    return result;
  }

  static ui::ListView& List(Dialog& d) { return *d.Find<ui::ListView>(EntryList); }
  static void Tap(Dialog& d, std::u16string_view name) {
    int entry = ui::FindEntry(List(d), name);
    ASSERT_GE(entry, 0) << ToUtf8(name);
    List(d).Tap(entry);
  }
  static void DoubleTap(Dialog& d, std::u16string_view name) {
    int entry = ui::FindEntry(List(d), name);
    ASSERT_GE(entry, 0) << ToUtf8(name);
    List(d).DoubleTap(entry);
  }
  static bool AcceptEnabled(Dialog& d) { return d.FindControl(AcceptButton)->enabled(); }
  static std::string Text(Dialog& d, int id) { return ToUtf8(d.ControlText(id)); }
};

TEST_F(FileChooserTest, StartsAtMyDocumentsInTheRootWithItSelected) {
  FileChooserDialog chooser;
  chooser.foldersOnly = 1;
  chooser.existingOnly = 0;
  chooser.path = u"\\My Documents";
  Run(chooser, [&](Dialog& d) {
    EXPECT_EQ(Text(d, FolderText), "");
    EXPECT_EQ(DescribeList(d, EntryList),
              "*My Documents | <DIR>\nProgram Files | <DIR>\nTemp | <DIR>\nwindows | <DIR>\n");
    EXPECT_EQ(Text(d, NameField), "My Documents");
    EXPECT_TRUE(AcceptEnabled(d));
    EXPECT_TRUE(d.FindControl(NameField)->enabled());
    auto& list = List(d);
    EXPECT_EQ(list.columns()[0].width, list.ClientWidth() * 3 / 4);
    EXPECT_EQ(list.columns()[0].width + list.columns()[1].width, list.ClientWidth());
    EXPECT_EQ(ToUtf8(list.columns()[0].header), "Name");
    EXPECT_EQ(d.focusId(), EntryList);
    d.CancelCommand();
  });
}

TEST_F(FileChooserTest, FileModeListsFoldersFirstAndHidesDotFolders) {
  FileChooserDialog chooser;
  chooser.path = u"/My Documents/nothing/";  // "/" counts as "\", a trailing one is dropped
  Run(chooser, [&](Dialog& d) {
    EXPECT_EQ(DescribeList(d, EntryList),
              "*\\ | \n.. | \nalpha | <DIR>\nPersonal | <DIR>\n.profile | \nNotes.TXT | \n"
              "track.log | \n");
    EXPECT_EQ(Text(d, FolderText), "\\My Documents");
    EXPECT_EQ(Text(d, NameField), "nothing");
    EXPECT_FALSE(d.FindControl(NameField)->enabled());  // existingOnly by default
    d.CancelCommand();
  });
}

TEST_F(FileChooserTest, UpAndRootEntriesAndTheArrowKeys) {
  FileChooserDialog chooser;
  chooser.path = u"\\My Documents\\Personal\\";
  Run(chooser, [&](Dialog& d) {
    // A closing "\\" is dropped: the parent is listed with the folder selected.
    EXPECT_EQ(Text(d, FolderText), "\\My Documents");
    EXPECT_NE(DescribeList(d, EntryList).find("*Personal"), std::string::npos);
    d.Find<ui::Edit>(NameField);  // the name field holds the selection
    EXPECT_EQ(Text(d, NameField), "Personal");

    Tap(d, u"Personal");  // file mode: a tap enters a folder
    EXPECT_EQ(Text(d, FolderText), "\\My Documents\\Personal");
    Tap(d, u"..");  // ".." lists the parent with the folder left selected
    EXPECT_EQ(Text(d, FolderText), "\\My Documents");
    EXPECT_NE(DescribeList(d, EntryList).find("*Personal"), std::string::npos);

    List(d).PressKey(ui::KeyLeft);  // the left arrow goes up the same way
    EXPECT_EQ(Text(d, FolderText), "");
    EXPECT_NE(DescribeList(d, EntryList).find("*My Documents"), std::string::npos);
    List(d).PressKey(ui::KeyLeft);  // at the root: the root again
    EXPECT_EQ(Text(d, FolderText), "");

    Tap(d, u"My Documents");
    Tap(d, u"\\");  // the root, first entry selected
    EXPECT_EQ(Text(d, FolderText), "");
    EXPECT_EQ(DescribeList(d, EntryList).substr(0, 14), "*My Documents ");

    Tap(d, u"Program Files");
    List(d).SetItemState(0, ui::StateSelected, ui::StateSelected);  // "\"
    EXPECT_FALSE(AcceptEnabled(d));
    List(d).PressKey(ui::KeyRight);  // opens "\": the root
    EXPECT_EQ(Text(d, FolderText), "");
    Tap(d, u"Program Files");
    List(d).SetItemState(1, ui::StateSelected, ui::StateSelected);  // ".."
    List(d).PressKey(ui::KeyRight);
    EXPECT_EQ(Text(d, FolderText), "");
    d.CancelCommand();
  });
}

TEST_F(FileChooserTest, FolderModeCreatesATypedFolder) {
  FileChooserDialog chooser;
  chooser.foldersOnly = 1;
  chooser.existingOnly = 0;
  chooser.path = u"\\My Documents\\Personal";
  int result = Run(chooser, [&](Dialog& d) {
    EXPECT_EQ(DescribeList(d, EntryList).find("Notes"), std::string::npos);  // no files
    d.Find<ui::Edit>(NameField)->Type(u"Logs");
    ui::ClickButton(d, AcceptButton);
  });
  EXPECT_EQ(result, ui::EndOk);
  EXPECT_EQ(ToUtf8(chooser.path), "\\My Documents\\Logs");
  EXPECT_EQ(files_.FileAttributes(u"\\My Documents\\Logs"), FileAttributeDirectory);
}

// A typed name of several levels makes every missing folder on the way:
// what the chooser returns is a folder that exists.
TEST_F(FileChooserTest, FolderModeMakesEveryMissingFolderOfANestedName) {
  struct Case {
    const char16_t* start;
    const char16_t* typed;
    const char* returned;
  };
  for (const Case& c :
       {Case{u"\\", u"neu\\unter", "\\neu\\unter"},
        Case{u"\\My Documents\\x", u"Personal\\a\\b", "\\My Documents\\Personal\\a\\b"},
        Case{u"\\Temp\\", u"c/d\\", "\\c/d\\"}}) {
    FileChooserDialog chooser;
    chooser.foldersOnly = 1;
    chooser.existingOnly = 0;
    chooser.path = c.start;
    int result = Run(chooser, [&](Dialog& d) {
      d.Find<ui::Edit>(NameField)->Type(c.typed);
      ui::ClickButton(d, AcceptButton);
    });
    EXPECT_EQ(result, ui::EndOk) << c.returned;
    EXPECT_EQ(ToUtf8(chooser.path), c.returned);
    EXPECT_EQ(files_.FileAttributes(chooser.path), FileAttributeDirectory) << c.returned;
  }
  EXPECT_TRUE(host_.messages().empty());
  EXPECT_EQ(files_.FileAttributes(u"\\neu"), FileAttributeDirectory);
  EXPECT_EQ(files_.FileAttributes(u"\\c\\d"), FileAttributeDirectory);
}

TEST_F(FileChooserTest, FolderModeAcceptsAListedFolderAsItIs) {
  FileChooserDialog chooser;
  chooser.foldersOnly = 1;
  chooser.existingOnly = 0;
  chooser.path = u"\\Temp";
  int result = Run(chooser, [&](Dialog& d) {
    Tap(d, u"Program Files");  // folder mode: a tap only selects
    EXPECT_EQ(Text(d, FolderText), "");
    d.OkCommand();  // Done
  });
  EXPECT_EQ(result, ui::EndOk);
  EXPECT_EQ(ToUtf8(chooser.path), "\\Program Files");
}

TEST_F(FileChooserTest, ExistingOnlyCreatesNothing) {
  FileChooserDialog chooser;
  chooser.foldersOnly = 1;
  chooser.path = u"\\My Documents";
  Run(chooser, [&](Dialog& d) {
    EXPECT_FALSE(d.FindControl(NameField)->enabled());
    d.Find<ui::Edit>(NameField)->Type(u"Typed");  // refused: the field is disabled
    d.OkCommand();
  });
  EXPECT_EQ(ToUtf8(chooser.path), "\\My Documents");
}

TEST_F(FileChooserTest, TypedNamesThatCannotBeFoldersCreateNothingAndAreNotReturned) {
  const char16_t* names[] = {u"..\\..\\escape", u"a:b", u"..", u"a:b\\c", u"what?"};
  for (const char16_t* name : names) {
    FileChooserDialog chooser;
    chooser.foldersOnly = 1;
    chooser.existingOnly = 0;
    chooser.path = u"\\Temp\\";
    size_t messages = host_.messages().size();
    int result = Run(chooser, [&](Dialog& d) {
      d.Find<ui::Edit>(NameField)->Type(name);
      ui::ClickButton(d, AcceptButton);
      EXPECT_FALSE(d.ended()) << ToUtf8(name);  // the person can type another name
      d.CancelCommand();
    });
    EXPECT_EQ(result, ui::EndCancel);
    ASSERT_EQ(host_.messages().size(), messages + 1) << ToUtf8(name);
    EXPECT_EQ(ToUtf8(host_.messages().back().text),
              "Der Ordner \\" + ToUtf8(name) + " kann nicht angelegt werden.");
  }
  FindData data;
  EXPECT_EQ(files_.FindFirst(u"\\Temp\\*.*", &data), InvalidSearchHandle);
  EXPECT_EQ(testing::ReadFileText(dir_ / "escape"), "");
}

TEST_F(FileChooserTest, FileModeTapsAndDoubleTaps) {
  FileChooserDialog chooser;
  chooser.path = u"\\My Documents\\track.log";
  int result = Run(chooser, [&](Dialog& d) {
    Tap(d, u"alpha");
    EXPECT_FALSE(AcceptEnabled(d));  // file mode: folders cannot be accepted
    EXPECT_EQ(Text(d, FolderText), "\\My Documents\\alpha");  // a tap enters it
    Tap(d, u"..");
    Tap(d, u"track.log");
    EXPECT_EQ(Text(d, NameField), "track.log");
    EXPECT_TRUE(AcceptEnabled(d));
    DoubleTap(d, u"track.log");
  });
  EXPECT_EQ(result, ui::EndOk);
  EXPECT_EQ(ToUtf8(chooser.path), "\\My Documents\\track.log");
}

TEST_F(FileChooserTest, FiltersIgnoreCaseAndListAFileOnce) {
  FileChooserDialog chooser;
  chooser.path = u"\\My Documents\\x";
  chooser.filters.Add(u".txt");
  chooser.filters.Add(u".TXT");
  Run(chooser, [&](Dialog& d) {
    EXPECT_EQ(DescribeList(d, EntryList),
              "*\\ | \n.. | \nalpha | <DIR>\nPersonal | <DIR>\nNotes.TXT | \n");
    d.CancelCommand();
  });
}

TEST_F(FileChooserTest, CancelKeepsTheStartingPath) {
  FileChooserDialog chooser;
  chooser.path = u"\\Temp/";
  EXPECT_EQ(Run(chooser, [&](Dialog& d) { d.CancelCommand(); }), ui::EndCancel);
  EXPECT_EQ(ToUtf8(chooser.path), "\\Temp");
}

TEST_F(FileChooserTest, AcceptWithAnEmptyNameGivesTheFolderAndASeparator) {
  FileChooserDialog chooser;
  chooser.foldersOnly = 1;
  chooser.existingOnly = 0;
  chooser.path = u"\\Temp";
  Run(chooser, [&](Dialog& d) {
    d.Find<ui::Edit>(NameField)->Type(u"");
    ui::ClickButton(d, AcceptButton);
  });
  EXPECT_EQ(ToUtf8(chooser.path), "\\");
}

}  // namespace
}  // namespace velmora
