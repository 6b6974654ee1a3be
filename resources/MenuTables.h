// The user-interface resources of the main window as plain data: the two menu
// bars, the accelerator table, the toolbar and the string table of command
// prompts. The frames build their Qt menus, shortcuts and buttons from these
// tables; nothing here depends on a widget.
#pragma once

#include <string>
#include <vector>

namespace res {

// One entry of a menu: a command item, a separator, a pop-up with its own
// entries, or the placeholder that the recent-file list replaces.
struct MenuEntry {
    enum class Kind { Item, Separator, Popup, RecentFiles };
    Kind kind = Kind::Item;
    std::string text;  // caption as stored, "\t" before the accelerator hint
    int id = 0;        // command id of an item or placeholder
    bool grayed = false;
    std::vector<MenuEntry> children;  // entries of a pop-up
};

// Menu 128 (no document window open) or 129 (a document window active); any
// other id gives an empty list.
const std::vector<MenuEntry>& MenuBar(int menuId);

// One accelerator: the key in Qt's portable text form ("Shift+Left").
struct Accelerator {
    const char* key;
    int id;
};

// Accelerator table 128, used in every state of the main window.
const std::vector<Accelerator>& AcceleratorTable();

// Keys of the main window that move between document windows, next and back
// (the accelerator table's keys stay the commands').
const std::vector<const char*>& NextWindowKeys();
const std::vector<const char*>& PreviousWindowKeys();
// The entry of the Window menu past its ninth listed window.
constexpr const char* kMoreWindows = "Windows...";
constexpr int kListedWindowCount = 9;

// The Help text: the panes, their context menus, the keys and the commands.
extern const char* const kHelpText;

// Toolbar 128: the command of every button, 0 for a separator.
const std::vector<int>& ToolbarButtons();

// The string-table entry of a command ("prompt\ntooltip"), empty when the
// command has none.
std::string CommandString(int id);
// The part before "\n": the status-bar prompt.
std::string CommandPrompt(int id);
// The part after "\n": the tooltip, empty when there is none.
std::string CommandTooltip(int id);

// Fixed strings of the string table.
constexpr const char* kAppName = "Fonavid";                      // 57344 and 128
constexpr const char* kIdleMessage = "For Help, press F1";       // 57345
constexpr const char* kRecentFilePrompt = "Open this document";  // 57616..57631
// String 129: the document type, seven fields separated by "\n".
constexpr const char* kDocumentTypeString =
    "\nFonavid\nFonavid\nFonavid Files (*.wav)\n.wav\nFonavid.Document\nFonavid.Document";
// Status text while help mode waits for the item to explain.
constexpr const char* kContextHelpPrompt = "Select an object on which to get Help";

// Number of entries the recent-file list keeps.
constexpr int kRecentFileCount = 16;
// Ids of the status-bar indicators.
constexpr int ID_INDICATOR_CAPS = 59137;
constexpr int ID_INDICATOR_NUM = 59138;
constexpr int ID_INDICATOR_SCRL = 59139;

}  // namespace res
