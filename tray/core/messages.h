// Window messages of the main frame. Worker threads, the Java program's native calls and the
// installer reach the main thread only through these.
#pragma once

namespace corv {

constexpr unsigned kWmApp = 0x8000;
constexpr unsigned kMsgTrayIcon = kWmApp + 650;              // 33418
constexpr unsigned kMsgSetMessageString = 0x0362;            // 866
constexpr unsigned kIdMessageStringParam = 57345;            // wParam of the status message
constexpr unsigned kMsgBalloon = 0x0400 + 100;               // 1124
constexpr unsigned kMsgSyncMessenger = kWmApp + 651;         // 33419
constexpr unsigned kMsgJavaLog = kWmApp + 652;               // 33420
constexpr unsigned kMsgVerifyInstallation = kWmApp + 653;    // 33421
constexpr unsigned kMsgScriptLog = kWmApp + 654;             // 33422
constexpr unsigned kMsgScriptFinished = kWmApp + 655;        // 33423
constexpr unsigned kMsgRegMonLog = kWmApp + 656;             // 33424
constexpr unsigned kMsgRestartCorvane = kWmApp + 657;        // 33425
constexpr unsigned kMsgReloadClientSettings = kWmApp + 658;  // 33426
constexpr unsigned kMsgSipPortUpdated = kWmApp + 659;        // 33427
constexpr unsigned kMsgSocksPortUpdated = kWmApp + 660;      // 33428
constexpr unsigned kMsgJavaStarted = kWmApp + 661;           // 33429, from the Java launcher
// The connection monitors' events, handled on the main thread (the monitors only post).
constexpr unsigned kMsgIpAddrRegistered = kWmApp + 662;  // 33430
constexpr unsigned kMsgIpAddrReleased = kWmApp + 663;    // 33431
constexpr unsigned kMsgQuitCorvane = kWmApp + 750;       // 33518, from the installer
constexpr unsigned kMsgHide = kWmApp + 751;              // 33519
constexpr unsigned kMsgHttpProxyUpdate = kWmApp + 752;   // 33520
constexpr unsigned kMsgNotifier = 0x0400 + 123;          // 1147
constexpr unsigned kMsgClose = 0x0010;                   // the system's close request

static_assert(kMsgTrayIcon == 33418 && kMsgQuitCorvane == 33518 && kMsgHttpProxyUpdate == 33520,
              "message numbers are fixed: other programs send them");
static_assert(kMsgBalloon == 1124 && kMsgNotifier == 1147, "message numbers are fixed");

// The messages that carry work from other threads to the frame's handlers form one range.
constexpr unsigned kMsgFirstWork = kMsgSyncMessenger;
constexpr unsigned kMsgLastWork = kMsgIpAddrReleased;

}  // namespace corv
