#pragma once

#include "mainwindow/logic/UrlRowLook.h"

#include <QIcon>
#include <QPixmap>

namespace orvex {

// Every picture of the program is drawn in code, so the program folder needs
// no image files and the icons stay sharp at every size. Each icon is drawn
// once and kept.

// Window and tray icon: a lens over a globe on a rounded square.
QIcon AppIcon();

// The about box's picture: the same motif above the program's name, 96x96.
QPixmap ProductPicture();

// The state column of the URL list.
QIcon StateIcon(UrlStateIcon state);

enum class ToolIcon {
    NewProject, Search, UpdateProject, Options, Help, ShowHideProjects, NewUrl, Cut, Copy, Paste,
    DeleteSelected, DeleteFailed, SelectAll, DeselectAll, InvertSelection, CheckUrl,
    UrlManagerPage, ReviewPage, Back, Forward, Stop, Refresh, Print, SaveAs, SortUp, SortDown,
    BlankIcon,
};
constexpr int kToolIconCount = static_cast<int>(ToolIcon::BlankIcon) + 1;

// Menu, tool bar and header icons. BlankIcon is a transparent square that
// keeps menu texts aligned.
QIcon ToolIconOf(ToolIcon which);

// The tray icon while an update runs hidden: the program's motif with the
// update arrows turned one step further in each of the five frames.
constexpr int kTrayFrameCount = 5;
QIcon TrayImage(int frame);

// The closing splash's strip: the filled bar that is uncovered from the left,
// and the empty track laid over it at first.
QPixmap SplashStrip(bool filled, QSize size);

} // namespace orvex
