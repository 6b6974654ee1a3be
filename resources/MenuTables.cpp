#include "MenuTables.h"

#include <map>

#include "ResourceIds.h"

namespace res {
namespace {

MenuEntry Item(const char* text, int id, bool grayed = false) {
    MenuEntry e;
    e.kind = MenuEntry::Kind::Item;
    e.text = text;
    e.id = id;
    e.grayed = grayed;
    return e;
}

MenuEntry Separator() {
    MenuEntry e;
    e.kind = MenuEntry::Kind::Separator;
    return e;
}

MenuEntry Popup(const char* text, std::vector<MenuEntry> children) {
    MenuEntry e;
    e.kind = MenuEntry::Kind::Popup;
    e.text = text;
    e.children = std::move(children);
    return e;
}

MenuEntry RecentFiles() {
    MenuEntry e;
    e.kind = MenuEntry::Kind::RecentFiles;
    e.text = "Recent File";
    e.id = ID_FILE_MRU_FILE1;
    e.grayed = true;
    return e;
}

MenuEntry HelpPopup() {
    return Popup("&Help", {Item("&Help Topics", ID_HELP_FINDER), Separator(),
                           Item("&About Fonavid...", ID_APP_ABOUT)});
}

std::vector<MenuEntry> MakeMainMenu() {
    return {
        Popup("&File", {Item("&New\tCtrl+N", ID_FILE_NEW), Item("&Open...\tCtrl+O", ID_FILE_OPEN),
                        Separator(), Item("P&rint Setup...", ID_FILE_PRINT_SETUP), Separator(), RecentFiles(),
                        Separator(), Item("&Close", ID_FILE_CLOSE), Item("E&xit", ID_APP_EXIT)}),
        Popup("&View", {Item("&Toolbar", ID_VIEW_TOOLBAR), Item("&Status Bar", ID_VIEW_STATUS_BAR)}),
        HelpPopup(),
    };
}

std::vector<MenuEntry> MakeDocumentMenu() {
    return {
        Popup("&File",
              {Item("&New\tCtrl+N", ID_FILE_NEW), Item("&Open...\tCtrl+O", ID_FILE_OPEN),
               Item("&Close", ID_FILE_CLOSE), Item("&Save\tCtrl+S", ID_FILE_SAVE),
               Item("Save &As...", ID_FILE_SAVE_AS), Separator(), Item("&Print...\tCtrl+P", ID_FILE_PRINT),
               Item("Print Pre&view", ID_FILE_PRINT_PREVIEW), Item("P&rint Setup...", ID_FILE_PRINT_SETUP),
               Separator(), RecentFiles(), Separator(), Item("E&xit", ID_APP_EXIT)}),
        Popup("&Edit", {Item("&Undo\tCtrl+Z", ID_EDIT_UNDO), Separator(), Item("Cu&t\tCtrl+X", ID_EDIT_CUT),
                        Item("&Copy\tCtrl+C", ID_EDIT_COPY), Item("&Paste\tCtrl+V", ID_EDIT_PASTE)}),
        Popup("&View", {Item("Традиционная амплитудная сонограмма", ID_SONOGRAM_AMPLITUDE),
                        Item("AM сонограмма", ID_SONOGRAM_AM), Item("FM сонограмма", ID_SONOGRAM_FM),
                        Item("Инвертированная сонограмма", ID_SONOGRAM_INVERTED), Separator(),
                        Popup("Уровни визаулизации",
                              {Popup("Верхний", {Item("Поднять", ID_UPPER_LEVEL_RAISE),
                                                 Item("Опустить", ID_UPPER_LEVEL_LOWER)}),
                               Popup("Нижний", {Item("Поднять", ID_LOWER_LEVEL_RAISE),
                                                Item("Опустить", ID_LOWER_LEVEL_LOWER)}),
                               Separator(), Item("Установить по умолчанию", ID_LEVELS_DEFAULT)}),
                        Separator(), Item("Шкалы", ID_VIEW_SCALES), Separator(),
                        Item("&Toolbar", ID_VIEW_TOOLBAR), Item("&Status Bar", ID_VIEW_STATUS_BAR)}),
        Popup("&Действия", {Item("Рассчитать децимированные сигналы", ID_CALCULATE_DECIMATED), Separator(),
                           Item("Воспроизвести видимое\tSpace", ID_PLAY_VISIBLE),
                           Item("Воспроизвести до конца файла\tShift+Space", ID_PLAY_TO_END),
                           Item("Остановить\tEsc", ID_PLAY_STOP),
                           Item("Остановить и поставить курсор\tEnter", ID_PLAY_STOP_AT_HEAD)}),
        Popup("&Window", {Item("&New Window", ID_WINDOW_NEW), Item("&Cascade", ID_WINDOW_CASCADE),
                          Item("&Tile", ID_WINDOW_TILE_HORZ), Item("&Arrange Icons", ID_WINDOW_ARRANGE),
                          Item("S&plit", ID_WINDOW_SPLIT)}),
        HelpPopup(),
    };
}

// The status-bar prompts of the standard commands (file, edit, view, window
// and help menus: "prompt\ntooltip"), and
// the three of the program's own commands that carry a prompt.
const std::map<int, std::string>& StringTable() {
    static const std::map<int, std::string> table = [] {
        std::map<int, std::string> t{
            {ID_FILE_NEW, "Create a new document\nNew"},
            {ID_FILE_OPEN, "Open an existing document\nOpen"},
            {ID_FILE_CLOSE, "Close the active document\nClose"},
            {ID_FILE_SAVE, "Save the active document\nSave"},
            {ID_FILE_SAVE_AS, "Save the active document with a new name\nSave As"},
            {ID_FILE_PRINT_SETUP, "Change the printer and printing options\nPrint Setup"},
            {ID_FILE_PRINT, "Print the active document\nPrint"},
            {ID_FILE_PRINT_DIRECT, "Print the active document using current options\nQuick Print"},
            {ID_FILE_PRINT_PREVIEW, "Display full pages\nPrint Preview"},
            {ID_APP_ABOUT, "Display program information, version number and copyright\nAbout"},
            {ID_APP_EXIT, "Quit the application; prompts to save documents\nExit"},
            {ID_EDIT_COPY, "Copy the selection and put it on the Clipboard\nCopy"},
            {ID_EDIT_CUT, "Cut the selection and put it on the Clipboard\nCut"},
            {ID_EDIT_PASTE, "Insert Clipboard contents\nPaste"},
            {ID_EDIT_UNDO, "Undo the last action\nUndo"},
            {ID_WINDOW_NEW, "Open another window for the active document\nNew Window"},
            {ID_WINDOW_ARRANGE, "Arrange icons at the bottom of the window\nArrange Icons"},
            {ID_WINDOW_CASCADE, "Arrange windows so they overlap\nCascade Windows"},
            {ID_WINDOW_TILE_HORZ, "Arrange windows as non-overlapping tiles\nTile Windows"},
            {ID_WINDOW_SPLIT, "Split the active window into panes\nSplit"},
            {ID_NEXT_PANE, "Switch to the next window pane\nNext Pane"},
            {ID_PREV_PANE, "Switch back to the previous window pane\nPrevious Pane"},
            {ID_VIEW_TOOLBAR, "Show or hide the toolbar\nToggle ToolBar"},
            {ID_VIEW_STATUS_BAR, "Show or hide the status bar\nToggle Status Bar"},
            {ID_HELP_FINDER, "List Help topics\nHelp Topics"},
            {ID_HELP, "Display help for current task or command\nHelp"},
            {ID_CONTEXT_HELP, "Display help for clicked on buttons, menus and windows\nHelp"},
            {ID_DEFAULT_HELP, "Display help for current task or command\nHelp"},
            {ID_SONOGRAM_AM, "AM сонограмма"},
            {ID_SONOGRAM_FM, "FM сонограмма"},
            {ID_SONOGRAM_INVERTED, "Инвертированная сонограмма"},
            {ID_PLAY_VISIBLE,
             "Воспроизвести от курсора до конца видимой части; во время воспроизведения - "
             "остановить\nВоспроизвести видимое (Space)"},
            {ID_VIEW_SCALES, "Показать или скрыть шкалы времени и частоты по краям панелей"},
            {ID_PLAY_TO_END, "Воспроизвести от курсора до конца файла\nВоспроизвести до конца (Shift+Space)"},
            {ID_PLAY_STOP, "Остановить воспроизведение\nОстановить (Esc)"},
            {ID_PLAY_STOP_AT_HEAD,
             "Остановить воспроизведение и поставить курсор на место звука\nОстановить и поставить курсор "
             "(Enter)"},
        };
        for (int i = 0; i < kRecentFileCount; ++i) t[ID_FILE_MRU_FILE1 + i] = kRecentFilePrompt;
        return t;
    }();
    return table;
}

}  // namespace

const std::vector<MenuEntry>& MenuBar(int menuId) {
    static const std::vector<MenuEntry> mainMenu = MakeMainMenu();
    static const std::vector<MenuEntry> documentMenu = MakeDocumentMenu();
    static const std::vector<MenuEntry> none;
    if (menuId == IDR_MAINFRAME) return mainMenu;
    if (menuId == IDR_FONAVIDTYPE) return documentMenu;
    return none;
}

const std::vector<Accelerator>& AcceleratorTable() {
    static const std::vector<Accelerator> table{
        {"Left", ID_CURSOR_LEFT},
        {"Shift+Left", ID_CURSOR_LEFT_FAST},
        {"Right", ID_CURSOR_RIGHT},
        {"Shift+Right", ID_CURSOR_RIGHT_FAST},
        {"Up", ID_CURSOR_UP},
        {"Shift+Up", ID_CURSOR_UP_FAST},
        {"Down", ID_CURSOR_DOWN},
        {"Shift+Down", ID_CURSOR_DOWN_FAST},
        {"Home", ID_CURSOR_FIRST},
        {"End", ID_CURSOR_LAST},
        {"PgUp", ID_CURSOR_PAGE_LEFT},
        {"PgDown", ID_CURSOR_PAGE_RIGHT},
        {"Shift+Home", ID_CURSOR_TO_VIEW},
        {"Ctrl+N", ID_FILE_NEW},
        {"Ctrl+O", ID_FILE_OPEN},
        {"Ctrl+S", ID_FILE_SAVE},
        {"Ctrl+P", ID_FILE_PRINT},
        {"Ctrl+Z", ID_EDIT_UNDO},
        {"Alt+Backspace", ID_EDIT_UNDO},
        {"Ctrl+X", ID_EDIT_CUT},
        {"Shift+Del", ID_EDIT_CUT},
        {"Ctrl+C", ID_EDIT_COPY},
        {"Ctrl+Ins", ID_EDIT_COPY},
        {"Ctrl+V", ID_EDIT_PASTE},
        {"Shift+Ins", ID_EDIT_PASTE},
        {"F1", ID_HELP},
        {"Shift+F1", ID_CONTEXT_HELP},
        {"F6", ID_NEXT_PANE},
        {"Shift+F6", ID_PREV_PANE},
        {"Space", ID_PLAY_VISIBLE},
        {"Shift+Space", ID_PLAY_TO_END},
        {"Esc", ID_PLAY_STOP},
        {"Return", ID_PLAY_STOP_AT_HEAD},
        {"Enter", ID_PLAY_STOP_AT_HEAD},
    };
    return table;
}

const std::vector<const char*>& NextWindowKeys() {
    static const std::vector<const char*> keys{"Ctrl+F6", "Ctrl+Tab"};
    return keys;
}

const std::vector<const char*>& PreviousWindowKeys() {
    // Shift+Tab arrives as Backtab from most keyboards.
    static const std::vector<const char*> keys{"Ctrl+Shift+F6", "Ctrl+Shift+Tab", "Ctrl+Shift+Backtab"};
    return keys;
}

const std::vector<int>& ToolbarButtons() {
    static const std::vector<int> buttons{
        ID_FILE_NEW,
        ID_FILE_OPEN,
        ID_FILE_SAVE,
        0,
        ID_EDIT_CUT,
        ID_EDIT_COPY,
        ID_EDIT_PASTE,
        0,
        ID_FILE_PRINT,
        ID_APP_ABOUT,
        ID_CONTEXT_HELP,
        0,
        ID_SONOGRAM_AMPLITUDE,
        ID_SONOGRAM_AM,
        ID_SONOGRAM_FM,
        ID_SONOGRAM_INVERTED,
        0,
        ID_CALCULATE_DECIMATED,
        0,
        ID_UPPER_LEVEL_RAISE,
        ID_UPPER_LEVEL_LOWER,
        ID_LEVELS_DEFAULT,
        ID_LOWER_LEVEL_RAISE,
        ID_LOWER_LEVEL_LOWER,
        0,
        ID_PLAY_VISIBLE,
        ID_PLAY_TO_END,
        ID_PLAY_STOP,
    };
    return buttons;
}

std::string CommandString(int id) {
    const auto& table = StringTable();
    auto it = table.find(id);
    return it == table.end() ? std::string() : it->second;
}

std::string CommandPrompt(int id) {
    const std::string s = CommandString(id);
    return s.substr(0, s.find('\n'));
}

std::string CommandTooltip(int id) {
    const std::string s = CommandString(id);
    const size_t nl = s.find('\n');
    return nl == std::string::npos ? std::string() : s.substr(nl + 1);
}

}  // namespace res
