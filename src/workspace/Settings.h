#pragma once

#include "workspace/Status.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string>

namespace orvex {

class IniFile;

// The settings file in the program folder.
inline constexpr const char* kSettingsFileName = "orx.ini";
// Its mere presence makes the top-level handler show exceptions to the user.
inline constexpr const char* kErrShowMarkerName = "errshow.dbg";

// Every value kept in the settings file, initialised to its default. Column
// widths are indexed by column identity (0 = the column numbered 1); column
// positions hold, for each position, the identity number shown there (0 = empty).
struct Settings
{
    // Option keys, saved with the Options dialog and at close.
    // [Program]
    int saveDocType = 1;
    int saveScrType = 5;
    std::string importDirectory;
    std::string htmlDirectory;
    std::string scrDirectory;
    std::string previewDirectory;
    // [Style]
    int previewStyle = 1; // 1 Simple, 2 Gallery, 3 Gray Granite
    // [Update]
    bool startSelected = false;
    bool updateSelected = false;
    bool updateTray = false;
    bool createScr = true;
    bool createThumb = true;
    int threadCount = 3;
    // [Screenshot]
    int scrSize = 2; // 1..4 fixed sizes, 5 the screen, 6 scrWidth by scrHeight
    int scrWidth = 1024;
    int scrHeight = 768;
    // [Proxy]
    bool useProxy = false;
    std::string proxyServer;
    std::string proxyPort;
    std::string proxyUser;
    std::string proxyPassw;

    // Layout and state keys, saved only at close.
    // [Program]
    bool shrinkScr = false;
    std::string preview; // Id of the project selected at close
    // [Window]
    bool winMax = false;
    int height = 552;
    int width = 775;
    std::optional<int> top;  // absent: centred on the screen
    std::optional<int> left; // absent: centred on the screen
    int sh = 220;            // project list pane height, stored uncapped
    int wu = 300;            // URL detail pane width, stored uncapped
    int showMode = 1;        // 1 URL manager, 2 review
    // Project list: 1 Title, 2 Created, 3 Updated, 4 Description.
    std::array<int, 4> projectColumns{1, 2, 3, 4};
    std::array<int, 4> projectColumnWidths{300, 120, 120, 200};
    std::string sortColPreview; // caption of the sort column, empty for none
    bool sortPlusPreview = true;
    // URL list: 1 URL, 2 Title, 3 Created, 4 URL Status, 5 Updated.
    std::array<int, 5> urlColumns{1, 2, 3, 4, 5};
    std::array<int, 5> urlColumnWidths{300, 120, 120, 200, 200};
    std::string sortColURLs;
    bool sortPlusURLs = true;
    // Browser window bounds.
    int wbHeight = 768;
    int wbWidth = 1024;
    int wbTop = 0;
    int wbLeft = 0;

    bool operator==(const Settings&) const = default;
};

// Reads the layout and state keys; a missing key gives its default and an
// invalid one its fallback. Top and Left stay absent when not stored.
void LoadLayout(const IniFile& ini, Settings& settings);
// Reads the option keys, applying each range rule. The screenshot size follows
// ScrSize at once (5 takes the screen size given).
void LoadOptions(const IniFile& ini, Settings& settings, int screenWidth, int screenHeight);
// Write every option key (sections Program, Style, Update, Screenshot, Proxy),
// or every layout key (ShrinkScr and Preview, then Window from the window
// bounds through the columns to the browser window). New keys are added in
// that order; keys already in the file keep their place. An absent Top or
// Left is not written.
void SaveOptions(IniFile& ini, const Settings& settings);
void SaveLayout(IniFile& ini, const Settings& settings);

// Load the file, then the layout keys, then the option keys. A missing file
// gives the defaults; an unreadable one is an error and changes nothing.
Status LoadSettingsFile(const std::filesystem::path& file, Settings& settings, int screenWidth,
                        int screenHeight);
// Update the file in place, keeping keys and sections we do not know. The
// first writes the option keys only (the Options dialog); the second writes
// the option keys and then the layout keys (closing the program).
Status SaveOptionsFile(const std::filesystem::path& file, const Settings& settings);
Status SaveSettingsFile(const std::filesystem::path& file, const Settings& settings);

bool ErrShowMarkerExists(const std::filesystem::path& programFolder);

// Window placement helpers for the main window and the browser window.
struct WindowBounds
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    bool operator==(const WindowBounds&) const = default;
};

// The offset that centres a window: half the free space, rounded toward zero.
int CentredOffset(int screenSize, int windowSize);

// The stored bounds of the main window, absent Top and Left centred.
WindowBounds StoredMainWindowBounds(const Settings& settings, int screenWidth, int screenHeight);

// Keeps a window reachable: top and left at most 64 short of the screen's far
// edges, width at most the screen width, height at most the screen height - 30.
WindowBounds BringOntoScreen(WindowBounds bounds, int screenWidth, int screenHeight);

// A pane size (SH or WU) capped at the size of the panel holding it - 20.
int CapPaneSize(int value, int panelSize);

} // namespace orvex
