#include "mainwindow/logic/CommandStates.h"

namespace orvex {

UrlToolButtons UrlToolButtonStates(const SelectionFacts& f)
{
    UrlToolButtons b{true, true, true, true, true, true, true, true, true, true, true, true};
    if (!f.clipboardHasUrls)
        b.paste = false;
    if (f.urlRows == 0 || !f.urlSelected)
        b.search = b.updateProject = b.cut = b.copy = b.deleteSelected = b.deleteFailed =
            b.checkUrl = false;
    if (f.urlRows == 0)
        b.selectAll = b.deselectAll = b.invertSelection = false;
    if (!f.projectSelected)
        b.newUrl = b.paste = false;
    return b;
}

UrlMenuItems UrlMenuStates(const SelectionFacts& f)
{
    UrlMenuItems m{true, true, true, true, true, true, true, true};
    if (!f.clipboardHasUrls)
        m.paste = false;
    if (f.urlRows == 0 || !f.urlSelected)
        m.edit = m.remove = m.cut = m.copy = m.openUrl = false;
    if (!f.projectSelected)
        m = UrlMenuItems{false, false, false, false, false, false, false, false};
    return m;
}

MainMenuItems MainMenuStates(const SelectionFacts& f)
{
    MainMenuItems m{};
    const bool projectRowSelected = f.projectRows > 0 && f.projectSelected;
    m.newProject = true;
    m.renameProject = m.deleteProject = projectRowSelected;
    m.reloadReview = m.generateReview = m.style = f.urlRows > 0 && f.projectSelected;
    m.url = UrlMenuStates(f);
    m.screenshotCommands = f.screenshotAvailable;
    m.checkUrl = m.updateProject = m.search = f.urlRows > 0 && f.urlSelected;
    return m;
}

ProjectContextItems ProjectContextStates(const SelectionFacts& f)
{
    const bool projectRowSelected = f.projectRows > 0 && f.projectSelected;
    return {true, projectRowSelected, projectRowSelected, f.urlRows > 0};
}

} // namespace orvex
