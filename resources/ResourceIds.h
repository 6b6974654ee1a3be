// Numeric identifiers of commands, menus and dialogs. The numbers are the
// program's own and stay stable: menus, accelerators, the toolbar and the
// command routing all refer to commands by these values.
#pragma once

namespace res {

// Dialog templates and menus.
constexpr int IDD_PROGRESS = 9;
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDR_MAINFRAME = 128;    // main menu (no document), accelerators, toolbar
constexpr int IDR_FONAVIDTYPE = 129;  // menu of a document window
constexpr int IDR_SONOGRAM_POPUP = 132;
constexpr int IDD_SELECT_PAS_FILM = 133;
constexpr int IDR_FGT_POPUP = 136;
constexpr int IDD_FHT_SET_P = 137;

// The program's own commands.
constexpr int ID_PREPARE_HIGH_QUALITY = 32772;
constexpr int ID_SONOGRAM_AM = 32776;
constexpr int ID_SONOGRAM_AMPLITUDE = 32777;
constexpr int ID_SONOGRAM_FM = 32778;
constexpr int ID_SONOGRAM_INVERTED = 32779;
constexpr int ID_CALCULATE_DECIMATED = 32785;
constexpr int ID_TUNE_PAS_FILM = 32787;
constexpr int ID_UPPER_LEVEL_RAISE = 32789;
constexpr int ID_UPPER_LEVEL_LOWER = 32790;
constexpr int ID_LOWER_LEVEL_RAISE = 32792;
constexpr int ID_LOWER_LEVEL_LOWER = 32793;
constexpr int ID_LEVELS_DEFAULT = 32798;
constexpr int ID_CURSOR_RIGHT = 32800;
constexpr int ID_CURSOR_LEFT = 32801;
constexpr int ID_CURSOR_LEFT_FAST = 32803;
constexpr int ID_CURSOR_RIGHT_FAST = 32804;
constexpr int ID_CURSOR_UP = 32806;
constexpr int ID_CURSOR_DOWN = 32807;
constexpr int ID_CURSOR_UP_FAST = 32808;
constexpr int ID_CURSOR_DOWN_FAST = 32809;
constexpr int ID_SHOW_LOCAL_MAXIMA = 32812;
constexpr int ID_FGT_CALCULATE = 32814;
constexpr int ID_FGT_SET_P = 32816;
// Moves of the cursor across a long signal: to the first or last column, a
// pane width back or on, and to the middle of the columns now in view.
constexpr int ID_CURSOR_FIRST = 32830;
constexpr int ID_CURSOR_LAST = 32831;
constexpr int ID_CURSOR_PAGE_LEFT = 32832;
constexpr int ID_CURSOR_PAGE_RIGHT = 32833;
constexpr int ID_CURSOR_TO_VIEW = 32834;
// Playback: from the cursor to the end of the visible columns (it also
// stops), to the end of the file, stop, and stop moving the cursor to the
// play-head.
constexpr int ID_PLAY_VISIBLE = 32840;
constexpr int ID_PLAY_TO_END = 32841;
constexpr int ID_PLAY_STOP = 32842;
constexpr int ID_PLAY_STOP_AT_HEAD = 32843;
// Time and frequency scales over the panes' edges, on or off.
constexpr int ID_VIEW_SCALES = 32850;

// Standard commands.
constexpr int ID_FILE_NEW = 57600;
constexpr int ID_FILE_OPEN = 57601;
constexpr int ID_FILE_CLOSE = 57602;
constexpr int ID_FILE_SAVE = 57603;
constexpr int ID_FILE_SAVE_AS = 57604;
constexpr int ID_FILE_PRINT_SETUP = 57606;
constexpr int ID_FILE_PRINT = 57607;
constexpr int ID_FILE_PRINT_DIRECT = 57608;
constexpr int ID_FILE_PRINT_PREVIEW = 57609;
constexpr int ID_FILE_MRU_FILE1 = 57616;
constexpr int ID_EDIT_COPY = 57634;
constexpr int ID_EDIT_CUT = 57635;
constexpr int ID_EDIT_PASTE = 57637;
constexpr int ID_EDIT_UNDO = 57643;
constexpr int ID_WINDOW_NEW = 57648;
constexpr int ID_WINDOW_ARRANGE = 57649;
constexpr int ID_WINDOW_CASCADE = 57650;
constexpr int ID_WINDOW_TILE_HORZ = 57651;
constexpr int ID_WINDOW_SPLIT = 57653;
constexpr int ID_APP_ABOUT = 57664;
constexpr int ID_APP_EXIT = 57665;
constexpr int ID_HELP_FINDER = 57667;
constexpr int ID_CONTEXT_HELP = 57669;
constexpr int ID_HELP = 57670;
constexpr int ID_DEFAULT_HELP = 57671;
constexpr int ID_NEXT_PANE = 57680;
constexpr int ID_PREV_PANE = 57681;
constexpr int ID_VIEW_TOOLBAR = 59392;
constexpr int ID_VIEW_STATUS_BAR = 59393;

}  // namespace res
