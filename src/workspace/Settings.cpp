#include "workspace/Settings.h"

#include "workspace/IniFile.h"

#include <algorithm>
#include <system_error>

namespace orvex {

namespace {

const Settings kDefaults{};

// Widths a too-narrow column (below 4 pixels) falls back to, by column identity.
constexpr std::array<int, 4> kProjectWidthFallbacks{180, 190, 120, 200};
constexpr std::array<int, 5> kUrlWidthFallbacks{180, 190, 120, 80, 200};
constexpr int kNarrowestColumn = 4;

// Screenshot page sizes of ScrSize 1 to 4.
struct PageSize
{
    int width;
    int height;
};
constexpr std::array<PageSize, 4> kFixedPageSizes{
    {{640, 480}, {800, 600}, {1024, 768}, {1280, 960}}};

constexpr const char* kProgram = "Program";
constexpr const char* kStyle = "Style";
constexpr const char* kUpdate = "Update";
constexpr const char* kScreenshot = "Screenshot";
constexpr const char* kProxy = "Proxy";
constexpr const char* kWindow = "Window";

std::string Key(const char* prefix, std::size_t number, const char* suffix)
{
    return prefix + std::to_string(number) + suffix;
}

int ReadRanged(const IniFile& ini, const char* section, const char* key, int fallbackWhenMissing,
               int low, int high, int fallbackWhenInvalid)
{
    const int value = ini.intValue(section, key, fallbackWhenMissing);
    return value < low || value > high ? fallbackWhenInvalid : value;
}

std::string ReadText(const IniFile& ini, const char* section, const char* key)
{
    return ini.value(section, key).value_or(std::string());
}

std::optional<int> ReadOptionalInt(const IniFile& ini, const char* section, const char* key)
{
    const std::optional<std::string> text = ini.value(section, key);
    if (!text || text->empty())
        return std::nullopt;
    return ini.intValue(section, key, 0);
}

// Column<N><list> keys: any position out of range resets the whole arrangement.
template <std::size_t N>
void ReadColumnOrder(const IniFile& ini, const char* list, std::array<int, N>& columns,
                     const std::array<int, N>& defaults)
{
    bool valid = true;
    for (std::size_t i = 0; i < N; ++i) {
        columns[i] = ini.intValue(kWindow, Key("Column", i + 1, list), defaults[i]);
        valid = valid && columns[i] >= 0 && columns[i] <= static_cast<int>(N);
    }
    if (!valid)
        columns = defaults;
}

template <std::size_t N>
void ReadColumnWidths(const IniFile& ini, const char* list, std::array<int, N>& widths,
                      const std::array<int, N>& defaults, const std::array<int, N>& fallbacks)
{
    for (std::size_t i = 0; i < N; ++i) {
        const int width = ini.intValue(kWindow, Key("Col", i + 1, list), defaults[i]);
        widths[i] = width < kNarrowestColumn ? fallbacks[i] : width;
    }
}

template <std::size_t N>
void WriteColumns(IniFile& ini, const char* prefix, const char* list, const std::array<int, N>& v)
{
    for (std::size_t i = 0; i < N; ++i)
        ini.setInt(kWindow, Key(prefix, i + 1, list), v[i]);
}

Status SaveFile(const std::filesystem::path& file, const Settings& settings, bool withLayout)
{
    IniFile ini;
    // Refuse to write over a file we could not read: its other keys would be lost.
    if (Status loaded = ini.Load(file); !loaded)
        return loaded;
    SaveOptions(ini, settings);
    if (withLayout)
        SaveLayout(ini, settings);
    return ini.Save(file);
}

} // namespace

void LoadLayout(const IniFile& ini, Settings& s)
{
    s.shrinkScr = ini.boolValue(kProgram, "ShrinkScr", kDefaults.shrinkScr);
    s.preview = ReadText(ini, kProgram, "Preview");
    s.winMax = ini.boolValue(kWindow, "WinMax", kDefaults.winMax);
    s.height = ini.intValue(kWindow, "Height", kDefaults.height);
    s.width = ini.intValue(kWindow, "Width", kDefaults.width);
    s.top = ReadOptionalInt(ini, kWindow, "Top");
    s.left = ReadOptionalInt(ini, kWindow, "Left");
    s.sh = ini.intValue(kWindow, "SH", kDefaults.sh);
    s.wu = ini.intValue(kWindow, "WU", kDefaults.wu);
    s.showMode = ReadRanged(ini, kWindow, "ShowMode", kDefaults.showMode, 1, 2, 1);
    ReadColumnOrder(ini, "Preview", s.projectColumns, kDefaults.projectColumns);
    ReadColumnWidths(ini, "Preview", s.projectColumnWidths, kDefaults.projectColumnWidths,
                     kProjectWidthFallbacks);
    s.sortColPreview = ReadText(ini, kWindow, "SortColPreview");
    s.sortPlusPreview = ini.boolValue(kWindow, "SortPlusPreview", kDefaults.sortPlusPreview);
    ReadColumnOrder(ini, "URLs", s.urlColumns, kDefaults.urlColumns);
    ReadColumnWidths(ini, "URLs", s.urlColumnWidths, kDefaults.urlColumnWidths, kUrlWidthFallbacks);
    s.sortColURLs = ReadText(ini, kWindow, "SortColURLs");
    s.sortPlusURLs = ini.boolValue(kWindow, "SortPlusURLs", kDefaults.sortPlusURLs);
    s.wbHeight = ini.intValue(kWindow, "WBHeight", kDefaults.wbHeight);
    s.wbWidth = ini.intValue(kWindow, "WBWidth", kDefaults.wbWidth);
    s.wbTop = ini.intValue(kWindow, "WBTop", kDefaults.wbTop);
    s.wbLeft = ini.intValue(kWindow, "WBLeft", kDefaults.wbLeft);
}

void LoadOptions(const IniFile& ini, Settings& s, int screenWidth, int screenHeight)
{
    s.saveDocType = ReadRanged(ini, kProgram, "SaveDocType", kDefaults.saveDocType, 1, 4, 1);
    s.saveScrType = ReadRanged(ini, kProgram, "SaveScrType", kDefaults.saveScrType, 1, 5, 5);
    s.importDirectory = ReadText(ini, kProgram, "ImportDirectory");
    s.htmlDirectory = ReadText(ini, kProgram, "HTMLDirectory");
    s.scrDirectory = ReadText(ini, kProgram, "ScrDirectory");
    s.previewDirectory = ReadText(ini, kProgram, "PreviewDirectory");
    s.previewStyle = ReadRanged(ini, kStyle, "PreviewStyle", kDefaults.previewStyle, 1, 3, 1);
    s.startSelected = ini.boolValue(kUpdate, "StartSelected", kDefaults.startSelected);
    s.updateSelected = ini.boolValue(kUpdate, "UpdateSelected", kDefaults.updateSelected);
    s.updateTray = ini.boolValue(kUpdate, "UpdateTray", kDefaults.updateTray);
    s.createScr = ini.boolValue(kUpdate, "CreateScr", kDefaults.createScr);
    s.createThumb = ini.boolValue(kUpdate, "CreateThumb", kDefaults.createThumb);
    s.threadCount = ReadRanged(ini, kUpdate, "ThreadCount", kDefaults.threadCount, 1, 10, 3);

    s.scrSize = ReadRanged(ini, kScreenshot, "ScrSize", kDefaults.scrSize, 1, 6, 2);
    s.scrWidth = ini.intValue(kScreenshot, "ScrWidth", kDefaults.scrWidth);
    s.scrHeight = ini.intValue(kScreenshot, "ScrHeight", kDefaults.scrHeight);
    // Only size 6 keeps the stored page size; the others overwrite it, so the
    // next save writes the size actually used.
    if (s.scrSize <= 4) {
        s.scrWidth = kFixedPageSizes[s.scrSize - 1].width;
        s.scrHeight = kFixedPageSizes[s.scrSize - 1].height;
    } else if (s.scrSize == 5) {
        s.scrWidth = screenWidth;
        s.scrHeight = screenHeight;
    } else if (s.scrWidth < 1 || s.scrWidth > 2400 || s.scrHeight < 1 || s.scrHeight > 2400) {
        s.scrWidth = kDefaults.scrWidth;
        s.scrHeight = kDefaults.scrHeight;
    }

    s.useProxy = ini.boolValue(kProxy, "UseProxy", kDefaults.useProxy);
    s.proxyServer = ReadText(ini, kProxy, "ProxyServer");
    s.proxyPort = ReadText(ini, kProxy, "ProxyPort");
    s.proxyUser = ReadText(ini, kProxy, "ProxyUser");
    s.proxyPassw = ReadText(ini, kProxy, "ProxyPassw");
}

void SaveOptions(IniFile& ini, const Settings& s)
{
    ini.setInt(kProgram, "SaveDocType", s.saveDocType);
    ini.setInt(kProgram, "SaveScrType", s.saveScrType);
    ini.setValue(kProgram, "ImportDirectory", s.importDirectory);
    ini.setValue(kProgram, "HTMLDirectory", s.htmlDirectory);
    ini.setValue(kProgram, "ScrDirectory", s.scrDirectory);
    ini.setValue(kProgram, "PreviewDirectory", s.previewDirectory);
    ini.setInt(kStyle, "PreviewStyle", s.previewStyle);
    ini.setBool(kUpdate, "StartSelected", s.startSelected);
    ini.setBool(kUpdate, "UpdateSelected", s.updateSelected);
    ini.setBool(kUpdate, "UpdateTray", s.updateTray);
    ini.setBool(kUpdate, "CreateScr", s.createScr);
    ini.setBool(kUpdate, "CreateThumb", s.createThumb);
    ini.setInt(kUpdate, "ThreadCount", s.threadCount);
    ini.setInt(kScreenshot, "ScrSize", s.scrSize);
    ini.setInt(kScreenshot, "ScrWidth", s.scrWidth);
    ini.setInt(kScreenshot, "ScrHeight", s.scrHeight);
    ini.setBool(kProxy, "UseProxy", s.useProxy);
    ini.setValue(kProxy, "ProxyServer", s.proxyServer);
    ini.setValue(kProxy, "ProxyPort", s.proxyPort);
    ini.setValue(kProxy, "ProxyUser", s.proxyUser);
    ini.setValue(kProxy, "ProxyPassw", s.proxyPassw);
}

void SaveLayout(IniFile& ini, const Settings& s)
{
    ini.setBool(kProgram, "ShrinkScr", s.shrinkScr);
    ini.setValue(kProgram, "Preview", s.preview);
    if (s.top)
        ini.setInt(kWindow, "Top", *s.top);
    if (s.left)
        ini.setInt(kWindow, "Left", *s.left);
    ini.setInt(kWindow, "Height", s.height);
    ini.setInt(kWindow, "Width", s.width);
    ini.setBool(kWindow, "WinMax", s.winMax);
    ini.setInt(kWindow, "SH", s.sh);
    ini.setInt(kWindow, "WU", s.wu);
    ini.setInt(kWindow, "ShowMode", s.showMode);
    WriteColumns(ini, "Col", "Preview", s.projectColumnWidths);
    WriteColumns(ini, "Column", "Preview", s.projectColumns);
    ini.setValue(kWindow, "SortColPreview", s.sortColPreview);
    ini.setBool(kWindow, "SortPlusPreview", s.sortPlusPreview);
    WriteColumns(ini, "Col", "URLs", s.urlColumnWidths);
    WriteColumns(ini, "Column", "URLs", s.urlColumns);
    ini.setValue(kWindow, "SortColURLs", s.sortColURLs);
    ini.setBool(kWindow, "SortPlusURLs", s.sortPlusURLs);
    ini.setInt(kWindow, "WBHeight", s.wbHeight);
    ini.setInt(kWindow, "WBWidth", s.wbWidth);
    ini.setInt(kWindow, "WBTop", s.wbTop);
    ini.setInt(kWindow, "WBLeft", s.wbLeft);
}

Status LoadSettingsFile(const std::filesystem::path& file, Settings& settings, int screenWidth,
                        int screenHeight)
{
    IniFile ini;
    if (Status loaded = ini.Load(file); !loaded)
        return loaded;
    LoadLayout(ini, settings);
    LoadOptions(ini, settings, screenWidth, screenHeight);
    return Status::Ok();
}

Status SaveOptionsFile(const std::filesystem::path& file, const Settings& settings)
{
    return SaveFile(file, settings, false);
}

Status SaveSettingsFile(const std::filesystem::path& file, const Settings& settings)
{
    return SaveFile(file, settings, true);
}

bool ErrShowMarkerExists(const std::filesystem::path& programFolder)
{
    std::error_code error;
    const auto state = std::filesystem::status(programFolder / kErrShowMarkerName, error);
    return std::filesystem::exists(state) && !std::filesystem::is_directory(state);
}

int CentredOffset(int screenSize, int windowSize)
{
    return (screenSize - windowSize) / 2;
}

WindowBounds StoredMainWindowBounds(const Settings& s, int screenWidth, int screenHeight)
{
    return WindowBounds{s.left.value_or(CentredOffset(screenWidth, s.width)),
                        s.top.value_or(CentredOffset(screenHeight, s.height)), s.width, s.height};
}

WindowBounds BringOntoScreen(WindowBounds b, int screenWidth, int screenHeight)
{
    if (b.top > screenHeight - 64)
        b.top = screenHeight - 64;
    if (b.left > screenWidth - 64)
        b.left = screenWidth - 64;
    if (b.width > screenWidth)
        b.width = screenWidth;
    if (b.height > screenHeight - 30)
        b.height = screenHeight - 30;
    return b;
}

int CapPaneSize(int value, int panelSize)
{
    return std::min(value, panelSize - 20);
}

} // namespace orvex
