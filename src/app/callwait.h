#pragma once
// The windows' side of a server call that waits (db/sqlaccess.h): while it waits, the windows
// repaint but no mouse or key input reaches them, so no second action starts inside the first;
// after a second a button 取消 (CmdWaitCancel) appears on the window's wait banner, or on a small
// banner of its own ("正在连接服务器……") when the window shows none. Closing the main window
// while a call waits gives the call up and ends the program.

#include <QString>

#include <functional>

class QWidget;

namespace CallWait {

// Hooks into the access layer; the program and the tests call it once at start.
void install();
// The window whose closing ends the program, and how it ends it.
void setMainWindow(QWidget* window, std::function<void()> endProgram);
// A window that keeps its input while a call waits (the tray's menu, to quit from).
void allowDuringWait(QWidget* widget);

QString ownBannerText(); // "正在连接服务器……"
QString cancelText();    // "取消"

} // namespace CallWait
