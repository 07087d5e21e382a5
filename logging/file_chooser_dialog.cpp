#include "logging/file_chooser_dialog.h"

#include <algorithm>

#include "logging/sorted_name_list.h"
#include "platform/dialog_templates.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "support/format_string.h"

namespace velmora {

namespace {

constexpr int EntryListId = 1020;
constexpr int AcceptButtonId = 1113;
constexpr int FolderTextId = 1043;
constexpr int NameFieldId = 1112;
constexpr char16_t RootEntry[] = u"\\";
constexpr char16_t UpEntry[] = u"..";

constexpr char16_t FolderFailedText[] = u"Der Ordner %s kann nicht angelegt werden.";

bool IsFolder(uint32_t attributes) {
  return (attributes & FileAttributeDirectory) != 0;
}

bool IsExistingFolder(std::u16string_view path) {
  uint32_t attributes = Files().FileAttributes(path);
  return attributes != InvalidFileAttributes && IsFolder(attributes);
}

// Makes the folder at path and every missing folder on the way to it (a
// typed name may hold several levels, as "neu\unter"); true when path is a
// folder afterwards, also when it was one already.
bool MakeFolders(std::u16string_view path) {
  size_t at = 0;
  while (at < path.size()) {
    size_t end = path.find_first_of(u"\\/", at + 1);
    std::u16string_view walked = path.substr(0, end);
    if (end != at + 1 && !IsExistingFolder(walked)) {
      Files().MakeDirectory(walked);  // a failure shows in the check below
    }
    at = end == std::u16string_view::npos ? path.size() : end;
  }
  return IsExistingFolder(path);
}

}  // namespace

FileChooserDialog::FileChooserDialog(ui::Dialog* parent)
    : ui::Dialog(DialogTemplateById(FileChooserTemplate), parent) {}

FileChooserDialog::~FileChooserDialog() = default;

const ui::CommandTable& FileChooserDialog::Commands() const {
  using N = ui::Notification;
  static const ui::CommandTable table = ui::MakeCommandTable<FileChooserDialog>({
      {N::DoubleTap, EntryListId, &FileChooserDialog::OnDoubleTap},
      {N::ItemChanged, EntryListId, &FileChooserDialog::OnSelectionChanged},
      {N::Tap, EntryListId, &FileChooserDialog::OnTap},
      {N::TextChanged, NameFieldId, &FileChooserDialog::OnNameEdited},
      {N::Clicked, AcceptButtonId, &FileChooserDialog::AcceptEntry},
      {N::KeyDown, EntryListId, &FileChooserDialog::OnListKey},
  });
  return table;
}

void FileChooserDialog::BindControls() {
  entryList = Bind<ui::ListView>(EntryListId);
}

bool FileChooserDialog::InitialiseDialog() {
  ui::Dialog::InitialiseDialog();
  int width = entryList->ClientWidth();
  int nameWidth = width * 3 / 4;
  entryList->InsertColumn(0, u"Name", nameWidth);
  entryList->InsertColumn(1, u"", width - nameWidth);

  std::replace(path.begin(), path.end(), u'/', u'\\');
  if (!path.empty() && path.back() == u'\\') {
    path.pop_back();
  }
  std::u16string name;
  size_t slash = path.rfind(u'\\');
  if (slash != std::u16string::npos) {
    currentFolder = path.substr(0, slash);
    name = path.substr(slash + 1);
  }
  ListFolder(name);
  SetControlText(NameFieldId, name);
  if (existingOnly) {
    EnableControl(NameFieldId, false);
  }
  return true;
}

bool FileChooserDialog::Matches(std::u16string_view name) const {
  if (filters.GetSize() == 0) {
    return true;
  }
  for (int i = 0; i < filters.GetSize(); ++i) {
    std::u16string_view filter = filters[i];
    std::u16string_view tail =
        name.size() <= filter.size() ? name : name.substr(name.size() - filter.size());
    if (EqualsIgnoringCase(tail, filter)) {
      return true;
    }
  }
  return false;
}

void FileChooserDialog::ListFolder(std::u16string_view selectionName) {
  SetControlText(FolderTextId, currentFolder);
  entryList->DeleteAllItems();
  if (!currentFolder.empty()) {
    entryList->InsertItem(0, UpEntry);
    entryList->InsertItem(0, RootEntry);
  }
  SortedNameList folders;
  SortedNameList fileNames;
  FindData data;
  SearchHandle search = Files().FindFirst(currentFolder + u"\\*.*", &data);
  if (search != InvalidSearchHandle) {
    do {
      if (IsFolder(data.attributes)) {
        if (data.name.empty() || data.name[0] != u'.') {
          folders.Insert(data.name);
        }
      } else if (!foldersOnly && Matches(data.name)) {
        fileNames.Insert(data.name);
      }
    } while (Files().FindNext(search, &data) != 0);
  }
  Files().FindEnd(search);
  for (int i = 0; i < folders.GetSize(); ++i) {
    int item = entryList->InsertItem(entryList->GetItemCount(), folders[i]);
    entryList->SetItemText(item, 1, u"<DIR>");
  }
  for (int i = 0; i < fileNames.GetSize(); ++i) {
    entryList->InsertItem(entryList->GetItemCount(), fileNames[i]);
  }
  if (entryList->GetItemCount() > 0) {
    entryList->SetItemState(0, ui::StateSelected, ui::StateSelected);
  }
  if (!selectionName.empty()) {
    for (int i = entryList->GetItemCount() - 1; i >= 0; --i) {
      if (entryList->GetItemText(i, 0) == selectionName) {
        entryList->SetItemState(i, ui::StateSelected | ui::StateFocused,
                                ui::StateSelected | ui::StateFocused);
        entryList->EnsureVisible(i);
        break;
      }
    }
  }
}

std::u16string FileChooserDialog::SelectedName() const {
  int selected = entryList->FirstSelected();
  return selected < 0 ? std::u16string() : entryList->GetItemText(selected, 0);
}

bool FileChooserDialog::AcceptEnabled() const {
  ui::Control* accept = FindControl(AcceptButtonId);
  return accept != nullptr && accept->enabled();
}

void FileChooserDialog::OnSelectionChanged() {
  if (entryList->FirstSelected() < 0) {
    return;
  }
  std::u16string text = SelectedName();
  SetControlText(NameFieldId, text);
  bool disable = text == RootEntry || text == UpEntry ||
                 (IsFolder(Files().FileAttributes(currentFolder + u"\\" + text)) && !foldersOnly);
  EnableControl(AcceptButtonId, !disable);
}

void FileChooserDialog::GoUp() {
  std::u16string selection;
  size_t slash = currentFolder.rfind(u'\\');
  if (slash != std::u16string::npos) {
    selection = currentFolder.substr(slash + 1);
    currentFolder.resize(slash);
  } else {
    currentFolder.clear();
  }
  ListFolder(selection);
}

void FileChooserDialog::OpenSelectedEntry() {
  if (entryList->FirstSelected() < 0) {
    return;
  }
  std::u16string text = SelectedName();
  if (text == RootEntry) {
    size_t slash = currentFolder.find(u'\\');
    std::u16string selection =
        slash == std::u16string::npos ? std::u16string() : currentFolder.substr(0, slash);
    currentFolder.clear();
    ListFolder(selection);
  } else if (text == UpEntry) {
    GoUp();
  } else {
    std::u16string full = currentFolder + u"\\" + text;
    if (IsFolder(Files().FileAttributes(full))) {
      currentFolder = full;
      ListFolder(u"");
    } else {
      SetControlText(NameFieldId, text);
    }
  }
}

void FileChooserDialog::AcceptEntry() {
  if (entryList->FirstSelected() < 0) {
    return;
  }
  path = currentFolder + u"\\" + ControlText(NameFieldId);
  if (foldersOnly && !existingOnly && !MakeFolders(path)) {
    // The caller stores what the chooser returns: a folder that is not
    // there is said so and not returned.
    ShowMessage(this, FormatString(FolderFailedText, path.c_str()), u"", MessageIconExclamation);
    return;
  }
  ui::Dialog::OnOkCommand();
}

void FileChooserDialog::OnOkCommand() {
  if (AcceptEnabled()) {
    AcceptEntry();
  } else {
    OpenSelectedEntry();
  }
}

void FileChooserDialog::OnTap() {
  if (!foldersOnly) {
    OpenSelectedEntry();
  }
}

void FileChooserDialog::OnDoubleTap() {
  if (foldersOnly || !AcceptEnabled()) {
    OpenSelectedEntry();
  } else {
    AcceptEntry();
  }
}

void FileChooserDialog::OnNameEdited() {
  EnableControl(AcceptButtonId, true);
}

void FileChooserDialog::OnListKey(const ui::NotifyInfo& info) {
  if (info.key == ui::KeyLeft) {
    GoUp();
  } else if (info.key == ui::KeyRight) {
    OnOkCommand();
  }
}

}  // namespace velmora
