#pragma once

#include <cstddef>

namespace orvex {

// What the enabled state of the commands depends on.
struct SelectionFacts
{
    bool projectSelected = false; // a project is open and its row selected
    std::size_t projectRows = 0;
    std::size_t urlRows = 0;
    bool urlSelected = false;
    bool clipboardHasUrls = false; // TMP/Clip/clip.dat exists
    bool screenshotAvailable = false; // the detail picture shows and the screenshot file exists
};

struct UrlToolButtons
{
    bool search, updateProject, newUrl, cut, copy, paste, deleteSelected, deleteFailed, selectAll,
        deselectAll, invertSelection, checkUrl;
};
UrlToolButtons UrlToolButtonStates(const SelectionFacts& facts);

// The URL menu of the main menu and the URL list's context menu share these items.
struct UrlMenuItems
{
    bool openUrl, newUrl, edit, remove, cut, copy, paste, import;
};
UrlMenuItems UrlMenuStates(const SelectionFacts& facts);

struct MainMenuItems
{
    bool newProject, renameProject, deleteProject;
    bool reloadReview, generateReview, style;
    UrlMenuItems url;
    bool screenshotCommands; // Open, Copy to Clipboard, Save to File, Thumbnail
    bool checkUrl, updateProject, search;
};
MainMenuItems MainMenuStates(const SelectionFacts& facts);

struct ProjectContextItems
{
    bool newProject, renameProject, deleteProject, reloadReview;
};
ProjectContextItems ProjectContextStates(const SelectionFacts& facts);

} // namespace orvex
