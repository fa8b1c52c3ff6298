#include "tray/app/pref_changes.h"

#include "platform/text.h"
#include "tray/settings/preferences.h"

namespace corv {

namespace {

// Text the user types compares without regard to case.
bool TextDiffers(const std::string& a, const std::string& b) {
    return !EqualsNoCase(a, b);
}

}  // namespace

bool PrefsChanged(PrefChange group, const CPreferences& a, const CPreferences& b) {
    switch (group) {
        case PrefChange::AddressMode:
            return TextDiffers(a.GetSyncMode(), b.GetSyncMode()) ||
                   TextDiffers(a.GetLocalIpAddress(), b.GetLocalIpAddress()) ||
                   a.GetFixedSipPort() != b.GetFixedSipPort() ||
                   a.GetFixedSocksPort() != b.GetFixedSocksPort();
        case PrefChange::SyncClient:
            return a.SyncMessengerText() != b.SyncMessengerText() ||
                   a.SyncMsnMessengerText() != b.SyncMsnMessengerText() ||
                   a.SyncEconfText() != b.SyncEconfText() ||
                   a.SyncXLiteText() != b.SyncXLiteText() || a.DoNotSyncText() != b.DoNotSyncText();
        case PrefChange::NeedsRestart:
            return TextDiffers(a.GetUserId(), b.GetUserId()) ||
                   TextDiffers(a.GetPasswd(), b.GetPasswd()) ||
                   a.GetUseProxy() != b.GetUseProxy() ||
                   TextDiffers(a.GetHttpProxyAddress(), b.GetHttpProxyAddress()) ||
                   a.GetHttpProxyPort() != b.GetHttpProxyPort() ||
                   TextDiffers(a.GetHttpsProxyAddress(), b.GetHttpsProxyAddress()) ||
                   a.GetHttpsProxyPort() != b.GetHttpsProxyPort() ||
                   TextDiffers(a.GetProxyScript(), b.GetProxyScript()) ||
                   a.GetAutoDetection() != b.GetAutoDetection() ||
                   a.GetNoProxy() != b.GetNoProxy() ||
                   TextDiffers(a.GetExternalSipAddress(), b.GetExternalSipAddress()) ||
                   a.GetAlwaysTunnelMedia() != b.GetAlwaysTunnelMedia();
        case PrefChange::Account:
            return a.GetUserId() != b.GetUserId() || a.GetPasswd() != b.GetPasswd();
    }
    return false;
}

}  // namespace corv
