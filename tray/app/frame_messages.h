// The main frame's private messages that carry work from other threads to the main thread,
// and the window-independent steps of the balloon message.
#pragma once

#include <string>

#include "tray/app/frame_listener.h"
#include "tray/core/log_file.h"

namespace corv {

class CConfigMgr;

// Log lines of the registry monitor; its thread pushes and posts.
LineQueue& RegMonLogQueue();

// "OnJavaLog" and so on for the private messages 33419-33431 and 33518-33520; nullptr otherwise.
const char* FrameMessageName(unsigned message);

// Runs the handler of a private message that needs no window (33419-33431, 33520): logs
// "CMainFrame Received <name>\n" first, then does its work; the controller's part is skipped
// without a controller. An exception is logged and ignored. false for any other message.
bool HandleFrameMessage(unsigned message, CConfigMgr* configMgr, const FrameListener& listener);

// Logs "Internal error(ignored): Caught exception while calling <what>()\n".
void LogIgnoredException(const char* what);

// Steps before a balloon is shown: false when balloons are hidden (only that line is logged);
// otherwise logs the balloon and makes the log file current.
bool AnnounceBalloon(bool hideBalloons, const BalloonData& balloon);

// Writes what the log holds: reopens, flushes and closes a closed log; flushes an open one.
void MakeLogCurrent();

// The longest prefix of a UTF-8 text that fits in maxUnits UTF-16 units; a character is never
// split. Invalid bytes count as one unit each.
std::string CutToUtf16Units(const std::string& text, size_t maxUnits);

}  // namespace corv
