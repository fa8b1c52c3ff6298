#include "installer/description/description.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "platform/codepage.h"
#include "platform/file_ops.h"
#include "platform/files.h"
#include "platform/system.h"

namespace corv::inst {
namespace {

using ::testing::HasSubstr;

LoadOptions Options(std::map<std::string, std::string> values = {}) {
    LoadOptions o;
    o.windowsVersion = "Windows XP";
    o.placeholders = [values](const std::string& name, std::string* out) {
        auto it = values.find(name);
        if (it == values.end()) return false;
        *out = it->second;
        return true;
    };
    return o;
}

CInstallConfig Read(const std::string& text, const LoadOptions& options = Options()) {
    CInstallConfig c;
    c.Parse(text, "setup.cfg", options);
    return c;
}

std::string ErrorOf(const std::string& text, const LoadOptions& options = Options()) {
    try {
        Read(text, options);
    } catch (const CConfigException& e) {
        return e.Message();
    }
    return "no error";
}

const char kPackage[] =
    "; Corvane package\n"
    "[Release]\n"
    "PackageType=Install\n"
    "Company=Velmora\n"
    "Product=Corvane\n"
    "ProcessName=corvtray\n"
    "Version=2.1.0\n"
    "InstallFor=allusers|prompt\n"
    "TargetFolder=$ProgramFilesFolder\\$Company\\$Product\n"
    "RegistryRoot=$TargetHKEY\n"
    "RegistryInstallLocation=SOFTWARE\\Velmora\\Corvane\n"
    "[AddRemovePrograms]\n"
    "DisplayName=$Product $Version\n"
    "Publisher=$Company\n"
    "[Selectables]\n"
    "internal=nutc|NuTCRACKER|selected\n"
    "wrapper=other|Other package|cleared\n"
    "[Pages]\n"
    "WelcomePage=Header|Welcome to $Product\n"
    "WelcomePage=Description|Text | with bar\n"
    "[RegistryKeys]\n"
    "reg=$TargetHKEY|SOFTWARE\\Velmora\\Corvane\n"
    "reg=HKLM|SOFTWARE\\Velmora\\Corvane|home|REG_SZ|$TargetFolder|validsince|2.0\n"
    "reg=HKCU|Environment|PATH|REG_SZ|a;b|ignoreorder\n"
    "Selectable=nutc|reg|HKLM|SOFTWARE\\NuTC|count|REG_DWORD|0x10\n"
    "[FileItems]\n"
    "dir=$TargetFolder\\logs\n"
    "file=$TargetFolder\\corvtray.exe\n"
    "file=$TargetFolder\\jnibridge.dll|lib|obsolete\n"
    "link=$StartMenuProgramsFolder\\Corvane.lnk|$TargetFolder\\corvtray.exe||/hide\n"
    "activex=$TargetFolder\\ctl.ocx|validsince|1.5|obsolete\n"
    "Selectable=nutc|file|$TargetFolder\\nutc.exe\n"
    "[Scripts]\n"
    "Exec=$TargetFolder\\setup.bat|void|/"
    "q|$TargetFolder\\out.txt|hidden|update|18446744073709551615\n"
    "LaunchApp=$TargetFolder\\corvtray.exe\n"
    "Selectable=nutc|Exec|nutc.exe|$TEMP|-i|void|show|overwrite|7|obsolete\n";

TEST(DescriptionReaderTest, ReadsAllSectionsOfAPackage) {
    CInstallConfig c = Read(
        kPackage, Options({{"ProgramFilesFolder", "C:\\Program Files"}, {"TEMP", "C:\\Temp"}}));
    const ReleaseInfo& r = c.GetRelease();
    EXPECT_EQ("Install", r.packageType);
    EXPECT_EQ("C:\\Program Files\\Velmora\\Corvane", r.targetFolder);
    EXPECT_EQ("$TargetHKEY", r.registryRoot);
    EXPECT_EQ(InstallFor::AllUsers, r.installFor);
    EXPECT_TRUE(r.promptInstallFor);
    EXPECT_EQ("HKEY_LOCAL_MACHINE", r.TargetHkey());
    EXPECT_EQ("Corvane 2.1.0", c.GetAddRemove().displayName);
    EXPECT_EQ("Velmora", c.GetAddRemove().publisher);

    ASSERT_EQ(2u, c.GetSelectables().size());
    EXPECT_TRUE(c.GetSelectables()[0].selected);
    EXPECT_EQ("wrapper", c.GetSelectables()[1].group);
    EXPECT_FALSE(c.GetSelectables()[1].selected);
    ASSERT_NE(nullptr, c.FindPage("welcomepage"));
    EXPECT_EQ("Welcome to Corvane", c.FindPage("WelcomePage")->header);
    EXPECT_EQ("Text | with bar", c.FindPage("WelcomePage")->description);
    EXPECT_TRUE(c.FindPage("WelcomePage")->IsEnabled());

    const auto& reg = c.GetRegistryItems();
    ASSERT_EQ(4u, reg.size());
    EXPECT_TRUE(reg[0].key.IsKey());
    EXPECT_FALSE(reg[0].flags.Any());
    EXPECT_EQ("$TargetFolder", reg[1].key.data);
    EXPECT_EQ("2.0", reg[1].flags.validSince);
    EXPECT_TRUE(reg[2].flags.ignoreOrder);
    EXPECT_EQ(RegItemType::Dword, reg[3].key.type);
    EXPECT_EQ("nutc", reg[3].selectable);

    const auto& files = c.GetFileItems();
    ASSERT_EQ(6u, files.size());
    EXPECT_EQ(FileKind::Dir, files[0].kind);
    EXPECT_EQ("$TargetFolder\\logs", files[0].path);
    EXPECT_FALSE(files[1].IsLibrary());
    EXPECT_TRUE(files[2].IsLibrary());
    EXPECT_EQ(std::vector<std::string>{"lib"}, files[2].fields);
    EXPECT_TRUE(files[2].flags.obsolete);
    EXPECT_EQ("$StartMenuProgramsFolder\\Corvane.lnk", files[3].path);
    EXPECT_EQ((std::vector<std::string>{"$TargetFolder\\corvtray.exe", "", "/hide"}),
              files[3].fields);
    EXPECT_TRUE(files[4].flags.obsolete);
    EXPECT_EQ("1.5", files[4].flags.validSince);
    EXPECT_EQ("nutc", files[5].selectable);

    const auto& scripts = c.GetScripts();
    ASSERT_EQ(3u, scripts.size());
    EXPECT_EQ("", scripts[0].folder);
    EXPECT_FALSE(scripts[0].show);
    EXPECT_EQ(ScriptMode::Update, scripts[0].mode);
    EXPECT_EQ(18446744073709551615ull, scripts[0].stamp);
    EXPECT_TRUE(scripts[1].shortForm);
    EXPECT_EQ("C:\\Temp", scripts[2].folder);
    EXPECT_TRUE(scripts[2].flags.obsolete);
}

TEST(DescriptionReaderTest, HeadersKeysAndComments) {
    CInstallConfig c = Read(
        "[ [ release ] ]\r\n"
        "VERSION = 1.0\r\n"
        "[Something else]\r"
        "product=Kept in release\r"
        ";comment=with equals\n"
        "\n"
        "[Velmora corvinstall v2]\n"
        "USER=S-1-5-21-1\n"
        "[AddRemovePrograms]\n"
        "Contact=\n");
    EXPECT_EQ("1.0", c.GetRelease().version);
    EXPECT_EQ("Kept in release", c.GetRelease().product);
    EXPECT_EQ("S-1-5-21-1", c.GetUser());
    EXPECT_EQ("", c.GetAddRemove().contact);
}

TEST(DescriptionReaderTest, FormatErrorsNameFileAndLine) {
    EXPECT_EQ("Config file is corrupt! \n\nRelease info is missing in file: setup.cfg:2 \n",
              ErrorOf(";x\nVersion=1\n"));
    EXPECT_EQ(
        "Config file is corrupt! \n\nLine is on unknown format in file: setup.cfg:3\n\nline:\n=x",
        ErrorOf("[Release]\r\nVersion=1\r\n=x\r\n"));
    EXPECT_EQ(
        "Config file is corrupt! \n\nLine is on unknown format in file: setup.cfg:2\n\nline:\n   ",
        ErrorOf("[Release]\n   \n"));
    EXPECT_THAT(
        ErrorOf("[RegistryKeys]\nreg=HKLM|k|v|REG_BINARY|00\n"),
        HasSubstr("IllegalTypeException: CRegistryKey constructor: type is unknown in file: "
                  "setup.cfg:2"));
    EXPECT_THAT(ErrorOf("[RegistryKeys]\nreg=HKXX|k\n"), HasSubstr("Unknown Registry key: HKXX"));
    EXPECT_THAT(ErrorOf("[RegistryKeys]\nreg=HKLM\n"), HasSubstr("syntax error!"));
    EXPECT_THAT(ErrorOf("[FileItems]\nlink=a.lnk\n"), HasSubstr("syntax error!"));
    EXPECT_THAT(ErrorOf("[FileItems]\nfile=a|validsince\n"),
                HasSubstr("validsince without a version"));
    EXPECT_THAT(ErrorOf("[Scripts]\nExec=a|b|c|d|show|keep\n"), HasSubstr("syntax error!"));
    EXPECT_THAT(ErrorOf("[Scripts]\nExec=a|b|c|d|maximized|keep|1\n"),
                HasSubstr("Unknown window mode"));
    EXPECT_THAT(ErrorOf("[Scripts]\nExec=a|b|c|d|show|replace|1\n"),
                HasSubstr("Unknown script mode"));
    EXPECT_THAT(ErrorOf("[Scripts]\nExec=a|b|c|d|show|keep|18446744073709551616\n"),
                HasSubstr("Invalid time stamp"));
    EXPECT_THAT(ErrorOf("[Scripts]\nLaunchApp=a|b|keep\n"), HasSubstr("syntax error!"));
}

TEST(DescriptionReaderTest, OverlongLinesAndNulBytesAreRefused) {
    std::string ok = "[Release]\nProduct=" + std::string(kMaxLineBytes - 8, 'x') + "\n";
    EXPECT_EQ(kMaxLineBytes - 8, Read(ok).GetRelease().product.size());
    std::string tooLong = "[Release]\nVersion=1\nProduct=" + std::string(kMaxLineBytes - 7, 'x');
    EXPECT_THAT(ErrorOf(tooLong), HasSubstr("Line is too long in file: setup.cfg:3"));
    // Placeholders may not make a line longer than the file may hold: a value that names
    // itself would otherwise double with every line.
    const std::string half(495, 'x');  // twice that and "Product=" is 998 bytes
    EXPECT_EQ(2 * half.size(), Read("[Release]\nCompany=" + half + "\nProduct=$Company$Company\n")
                                   .GetRelease()
                                   .product.size());
    EXPECT_THAT(
        ErrorOf("[Release]\nVersion=1\nCompany=" + half + "\nCompany=$Company$Company$Company\n"),
        HasSubstr("Line is too long once its placeholders are replaced in file: "
                  "setup.cfg:4"));
    EXPECT_EQ("Config file is corrupt! \n\nLine holds a NUL byte in file: setup.cfg:2\n",
              ErrorOf(std::string("[Release]\nProduct=a\0b\n", 21)));
}

TEST(DescriptionReaderTest, SelectablePrefixNeedsAKnownSelectableAndAllTokens) {
    CInstallConfig c = Read(
        "[Selectables]\n"
        "internal=acrobat|Reader|cleared\n"
        "other=x|Ignored group|selected\n"
        "internal=|No id|selected\n"
        "[FileItems]\n"
        "Selectable=ACROBAT|file|a.exe\n"
        "Selectable=undefined|file|b.exe\n"
        "Selectable=x|file|c.exe\n"
        "Selectable=acrobat||d.exe\n"
        "Selectable=acrobat|file|\n"
        "Selectable=acrobat|file\n");
    ASSERT_EQ(1u, c.GetSelectables().size());
    ASSERT_EQ(1u, c.GetFileItems().size());
    EXPECT_EQ("a.exe", c.GetFileItems()[0].path);
    EXPECT_EQ("ACROBAT", c.GetFileItems()[0].selectable);
}

TEST(DescriptionReaderTest, InstallForRule) {
    const char text[] = "[Release]\nInstallFor=allusers|prompt\n";
    LoadOptions me = Options();
    me.windowsVersion = "Windows ME";
    EXPECT_EQ(InstallFor::OnlyForMe, Read(text, me).GetRelease().installFor);
    EXPECT_FALSE(Read(text, me).GetRelease().promptInstallFor);
    LoadOptions u = Options();
    u.installFor = InstallForOption::OnlyForMe;
    EXPECT_EQ(InstallFor::OnlyForMe, Read(text, u).GetRelease().installFor);
    EXPECT_FALSE(Read(text, u).GetRelease().promptInstallFor);
    LoadOptions a = Options();
    a.installFor = InstallForOption::AllUsers;
    EXPECT_EQ(InstallFor::AllUsers,
              Read("[Release]\nInstallFor=onlyforme|prompt\n", a).GetRelease().installFor);
    CInstallConfig other = Read("[Release]\nInstallFor=everybody|prompt\n");
    EXPECT_EQ(InstallFor::Unset, other.GetRelease().installFor);
    EXPECT_FALSE(other.GetRelease().promptInstallFor);
    EXPECT_EQ("", other.GetRelease().TargetHkey());
    EXPECT_EQ("HKEY_CURRENT_USER",
              Read("[Release]\nInstallFor=OnlyForMe\n").GetRelease().TargetHkey());
}

TEST(DescriptionReaderTest, Placeholders) {
    CInstallConfig c = Read(
        "[Release]\n"
        "Readme=$Product-$Company\n"
        "Product=P\n"
        "Company=$Product$Product_x$\n"
        "Logo=$TargetFolder|$TargetHKEY|$StartMenuFolder|$StartMenuProgramsFolder|$DesktopFolder|"
        "$StartupFolder|$TargetFolderX\n"
        "TargetFolder=$DesktopFolderAll\\$HOMEX\\$Unknown\\$$\n"
        "ApplicableSince=$Loop\n",
        Options({{"DesktopFolderAll", "D:\\All"},
                 {"HOMEX", "h$Product"},
                 {"Loop", "$Loop"},
                 {"TargetFolderX", "x"}}));
    const ReleaseInfo& r = c.GetRelease();
    EXPECT_EQ("$Product-$Company", r.readme);  // not read yet
    EXPECT_EQ("P$Product_x$", r.company);
    EXPECT_EQ(
        "$TargetFolder|$TargetHKEY|$StartMenuFolder|$StartMenuProgramsFolder|$DesktopFolder|"
        "$StartupFolder|x",
        r.logo);
    EXPECT_EQ("D:\\All\\h$Product\\$Unknown\\$$", r.targetFolder);
    EXPECT_EQ("$Loop", r.applicableSince);
}

// Fields are split after the placeholders are replaced: values longer or shorter than their
// names move the bars, and a bar inside a value separates fields.
TEST(DescriptionReaderTest, FieldsOfValuesWithPlaceholders) {
    const std::string company = "A much longer company name";
    const std::string items =
        "[Selectables]\n"
        "internal=opt|Option|selected\n"
        "[RegistryKeys]\n"
        "reg=HKLM|$Product$Version|v$Product|$ProcessName| $Product$Company |obsolete\n"
        "Selectable=opt|reg|HKCU|$Company\\$Product|n|REG_SZ|$Company|ignoreorder\n"
        "reg=$TargetHKEY|$Unknown\n"
        "[FileItems]\n"
        "file=x$Product.dll|$Company\n"
        "link=$Company.lnk|t$Product|$Company|$Product\n";
    for (const std::string version : {"Key", "Key|w|REG_SZ|d|obsolete"}) {
        SCOPED_TRACE(version);
        CInstallConfig c = Read("[Release]\nCompany=" + company + "\nProduct=\nVersion=" + version +
                                    "\nProcessName=REG_SZ\n" + items,
                                Options({{"Unknown", "a|b"}}));
        const auto& reg = c.GetRegistryItems();
        ASSERT_EQ(3u, reg.size());
        if (version == "Key") {
            EXPECT_EQ((RegistryEntry{"HKLM", "Key", "v", RegItemType::String, company}),
                      reg[0].key);
        } else {
            EXPECT_EQ((RegistryEntry{"HKLM", "Key", "w", RegItemType::String, "d"}), reg[0].key);
        }
        EXPECT_TRUE(reg[0].flags.obsolete);
        EXPECT_EQ((RegistryEntry{"HKCU", company + "\\", "n", RegItemType::String, company}),
                  reg[1].key);
        EXPECT_TRUE(reg[1].flags.ignoreOrder);
        EXPECT_EQ("opt", reg[1].selectable);
        EXPECT_EQ((RegistryEntry{"$TargetHKEY", "a", "b", RegItemType::None, ""}), reg[2].key);
        const auto& files = c.GetFileItems();
        ASSERT_EQ(2u, files.size());
        EXPECT_EQ("x.dll", files[0].path);
        EXPECT_EQ(std::vector<std::string>{company}, files[0].fields);
        EXPECT_EQ(company + ".lnk", files[1].path);
        EXPECT_EQ((std::vector<std::string>{"t", company}), files[1].fields);
    }
}

TEST(DescriptionReaderTest, CommandLineAdditions) {
    LoadOptions o = Options();
    o.hasTunnelServers = true;
    o.tunnelServers = "t1,127.0.0.1;t2,127.0.0.2";
    o.targetFolder = "D:\\Corvane";
    CInstallConfig c = Read(
        "[Release]\nTargetFolder=C:\\x\nInstallFor=allusers\n[RegistryKeys]\n"
        "reg=HKLM|software\\velmora\\corvane\\preferences|PROXYSERVERADDRESSES|REG_SZ|old|"
        "obsolete\n"
        "reg=HKLM|SOFTWARE\\Other\n",
        o);
    EXPECT_EQ("D:\\Corvane", c.GetRelease().targetFolder);
    const auto& reg = c.GetRegistryItems();
    ASSERT_EQ(3u, reg.size());
    EXPECT_EQ("$TargetHKEY", reg[0].key.root);  // replaced in place
    EXPECT_EQ(o.tunnelServers, reg[0].key.data);
    EXPECT_FALSE(reg[0].flags.Any());
    EXPECT_EQ(
        "HKEY_CURRENT_USER\\SOFTWARE\\JavaSoft\\Prefs\\corvane\\proxyclient\\/Tunnel\\proxy/Server/"
        "Addresses",
        reg[2].key.Path());
    o.tunnelServers = "a|b";
    EXPECT_THAT(ErrorOf("[Release]\n", o), HasSubstr("cannot contain"));
}

TEST(DescriptionReaderTest, ReleaseAccessAndValidation) {
    CInstallConfig none = Read("[Pages]\n");
    EXPECT_FALSE(none.HasRelease());
    try {
        none.GetRelease();
        ADD_FAILURE();
    } catch (const CInstallException& e) {
        EXPECT_EQ("NullPointerException: GetRelease() is NULL", e.Message());
    }
    auto validate = [](const std::string& text) -> std::string {
        try {
            Read(text).ValidatePackage("pkg.cfg");
        } catch (const CConfigException& e) {
            return e.Message();
        }
        return "ok";
    };
    EXPECT_EQ("Installation file, pkg.cfg, is corrupt! [Release] PackageType is missing\n",
              validate("[Release]\nProduct=P\nVersion=1\n"));
    EXPECT_EQ("Installation file, pkg.cfg, is corrupt! [Release] Product name is missing\n",
              validate("[Release]\nPackageType=Install\nVersion=1\n"));
    EXPECT_EQ("Installation file, pkg.cfg, is corrupt! [Release] Version info is missing\n",
              validate("[Release]\nPackageType=Install\nProduct=P\n"));
    const char base[] =
        "[Release]\nPackageType=Install\nProduct=P\nVersion=1\nInstallFor=onlyforme\n";
    EXPECT_EQ("ok", validate(std::string(base) +
                             "RegistryRoot=HKCU\nRegistryInstallLocation=SOFTWARE\\P\n"));
    EXPECT_EQ(
        "ok",
        validate(
            std::string(base) +
            "RegistryRoot=$TargetHKEY\nRegistryInstallLocation=HKEY_CURRENT_USER\\SOFTWARE\\P\n"));
    EXPECT_EQ(
        "Installation file, pkg.cfg, is corrupt! [Release] Registry install location must be in "
        "HKCU\n",
        validate(std::string(base) +
                 "RegistryRoot=HKCU\nRegistryInstallLocation=HKLM\\SOFTWARE\\P\n"));
}

const char kWritten[] =
    "[corvinstall]\r\n"
    "user=S-1-5-21-7\r\n"
    "\r\n"
    "[Release]\r\n"
    "PackageType=Install\r\n"
    "Company=Velmora\r\n"
    "Product=Corvane\r\n"
    "ProcessName=corvtray\r\n"
    "Version=2.1.0\r\n"
    "ApplicableSince=\r\n"
    "TargetFolder=C:\\Program Files\\Velmora\\Corvane\r\n"
    "Logo=\r\n"
    "Readme=\r\n"
    "InstallFor=allusers|prompt\r\n"
    "RegistryRoot=$TargetHKEY\r\n"
    "RegistryInstallLocation=SOFTWARE\\Velmora\\Corvane\r\n"
    "\r\n"
    "[AddRemovePrograms]\r\n"
    "DisplayName=Corvane 2.1.0\r\n"
    "UninstallString=\r\n"
    "DisplayIcon=\r\n"
    "InstallLocation=\r\n"
    "UrlInfoAbout=\r\n"
    "Publisher=Velmora\r\n"
    "Contact=\r\n"
    "DisplayVersion=\r\n"
    "\r\n"
    "[Selectables]\r\n"
    "internal=nutc|NuTCRACKER|selected\r\n"
    "wrapper=other|Other package|cleared\r\n"
    "\r\n"
    "[Pages]\r\n"
    "WelcomePage=Header|Welcome to Corvane\r\n"
    "WelcomePage=Description|Text | with bar\r\n"
    "\r\n"
    "[RegistryKeys]\r\n"
    "reg=$TargetHKEY|SOFTWARE\\Velmora\\Corvane\r\n"
    "reg=HKLM|SOFTWARE\\Velmora\\Corvane|home|REG_SZ|$TargetFolder|validsince|2.0\r\n"
    "reg=HKCU|Environment|PATH|REG_SZ|a;b|ignoreorder\r\n"
    "Selectable=nutc|reg|HKLM|SOFTWARE\\NuTC|count|REG_DWORD|0x10\r\n"
    "\r\n"
    "[FileItems]\r\n"
    "dir=$TargetFolder\\logs\r\n"
    "file=$TargetFolder\\corvtray.exe\r\n"
    "file=$TargetFolder\\jnibridge.dll|lib|obsolete\r\n"
    "link=$StartMenuProgramsFolder\\Corvane.lnk|$TargetFolder\\corvtray.exe||/hide\r\n"
    "activex=$TargetFolder\\ctl.ocx|obsolete|validsince|1.5\r\n"
    "Selectable=nutc|file|$TargetFolder\\nutc.exe\r\n"
    "\r\n"
    "[Scripts]\r\n"
    "Exec=$TargetFolder\\setup.bat|void|/"
    "q|$TargetFolder\\out.txt|hide|update|18446744073709551615\r\n"
    "LaunchApp=$TargetFolder\\corvtray.exe\r\n"
    "Selectable=nutc|Exec|nutc.exe|C:\\Temp|-i|void|show|overwrite|7|obsolete\r\n"
    "\r\n";

TEST(DescriptionWriterTest, WritesTheInstalledCopyInItsOrderAndForms) {
    CInstallConfig c = Read(
        kPackage, Options({{"ProgramFilesFolder", "C:\\Program Files"}, {"TEMP", "C:\\Temp"}}));
    c.SetUser("S-1-5-21-7");
    EXPECT_EQ(kWritten, c.ToText());
}

TEST(DescriptionWriterTest, RoundTripKeepsItemsFlagsAndSelectables) {
    // Selectable lines interleaved with plain ones, the LaunchApp long form, optional fields.
    const char text[] =
        "[Release]\nVersion=3\nDisplayCompleteOptions=no\nInstallFor=onlyforme\n"
        "[Selectables]\ninternal=s1|One|selected\n"
        "[Pages]\nWrapperPage=Enable|off\n"
        "[RegistryKeys]\nSelectable=s1|reg|HKCR|.x||REG_SZ|xfile\nreg=HKCU|k|\n"
        "reg=HKCU|k|n|REG_SZ|void|obsolete|validsince|1.0\nreg=HKCU|k|ignoreorder\n"
        "[FileItems]\nSelectable=s1|dir|d\nfile=f||validsince|2\nlink=l|t|void|4th\n"
        "link=l2|t2|3rd|void\nactivex=a.ocx|extra|obsolete\n"
        "[Scripts]\nLaunchApp=p|void|keep|0|validsince|1\nExec=e|void|void|void|show|keep|1\n";
    CInstallConfig first = Read(text);
    EXPECT_FALSE(first.GetRelease().ShowCompleteOptions());
    EXPECT_FALSE(first.FindPage("WrapperPage")->IsEnabled());
    std::string written = first.ToText();
    CInstallConfig second = Read(written);
    EXPECT_EQ(first.InWriterOrder(), second);
    EXPECT_EQ(written, second.ToText());
    EXPECT_EQ((std::vector<std::string>{"t", "", "4th"}), second.GetFileItems()[1].fields);
    EXPECT_EQ((std::vector<std::string>{"t2", "3rd"}), second.GetFileItems()[2].fields);
    EXPECT_EQ("s1", second.GetFileItems()[4].selectable);
}

TEST(DescriptionWriterTest, RefusesValuesThatWouldReadBackDifferently) {
    EXPECT_THROW(Read("[Pages]\n").ToText(), CConfigException);  // could never load again
    CInstallConfig c = Read("[Release]\nVersion=1\n");
    c.GetRelease().product = "two\nlines";
    EXPECT_THROW(c.ToText(), CConfigException);
    c = Read("[Release]\n[RegistryKeys]\nreg=HKLM|k|v|REG_SZ|x\n");
    c.GetRegistryItems()[0].key = {"HKLM", "k", "v", RegItemType::String, "a|b"};
    EXPECT_THROW(c.ToText(), CConfigException);
    c.GetRegistryItems()[0].key = {"HKLM", "k", "v", RegItemType::String, "VOID"};
    EXPECT_THROW(c.ToText(), CConfigException);
    c.GetRegistryItems()[0].key = {"HKLM", "k", "v", RegItemType::String,
                                   std::string(kMaxLineBytes, 'x')};
    try {
        c.Save("nonexistent-folder\\uninst.cfg");
        ADD_FAILURE();
    } catch (const CConfigException& e) {
        EXPECT_THAT(e.Message(),
                    HasSubstr("Could not save config file: nonexistent-folder\\uninst.cfg, "
                              "reason: Cannot write the description: a line is longer"));
    }
}

// What the reader takes, the writer writes and the reader reads back equal; what the installed
// copy could not hold is refused when the package is read, not when it is saved after the
// install ran.
TEST(DescriptionWriterTest, EverythingTheReaderTakesIsWritable) {
    const std::string head = "[Release]\nVersion=1\n";
    const std::string longName(kMaxLineBytes - 24, 'p');  // 4 bytes short of the limit
    struct Case {
        std::string text;
        LoadOptions options;
        std::string error;  // empty: read, written and read back equal
    } cases[] = {
        // A word that starts no flag tail of its kind of item is a field.
        {head + "[FileItems]\nfile=a|ignoreorder\n", Options(), ""},
        {head + "[FileItems]\nlink=l|t|ignoreorder\n", Options(), ""},
        {head + "[Scripts]\nLaunchApp=p|ignoreorder|keep|1\n", Options(), ""},
        {head + "[FileItems]\nfile=a|obsolete|ignoreorder\n", Options(), ""},
        // A flag word in the place of the version.
        {head + "[FileItems]\nfile=a|validsince|obsolete\n", Options(),
         "validsince without a version"},
        {head + "[RegistryKeys]\nreg=HKLM|k|validsince|ignoreorder\n", Options(),
         "validsince without a version"},
        // Written longer than read: "void" for an empty folder, "|cleared" for no state.
        {head + "[Scripts]\nExec=" + longName + "||p|t|show|keep|1\n", Options(),
         "a line is longer than"},
        {head + "[Selectables]\ninternal=id|" + std::string(kMaxLineBytes - 15, 't') + "\n",
         Options(), "a line is longer than"},
        {head + "[Pages]\n[odd=Header|text\n", Options(), "a page name cannot be written"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 80));
        if (!c.error.empty()) {
            EXPECT_THAT(ErrorOf(c.text, c.options), HasSubstr(c.error));
            continue;
        }
        CInstallConfig first = Read(c.text, c.options);
        std::string written = first.ToText();
        EXPECT_EQ(first.InWriterOrder(), Read(written, c.options));
    }

    // Command-line values: blanks are dropped as the reader drops them from the file; what
    // the installed copy could not hold is refused.
    LoadOptions o = Options();
    o.hasTunnelServers = true;
    o.tunnelServers = "  t1,127.0.0.1  ";
    o.targetFolder = " D:\\Corvane ";
    CInstallConfig c = Read(head, o);
    EXPECT_EQ("t1,127.0.0.1", c.GetRegistryItems()[0].key.data);
    EXPECT_EQ("D:\\Corvane", c.GetRelease().targetFolder);
    EXPECT_EQ(c, Read(c.ToText(), Options()));
    o.tunnelServers = "VOID";
    EXPECT_THAT(ErrorOf(head, o), HasSubstr("cannot be \"void\""));
    o.tunnelServers = std::string(kMaxLineBytes, '1');
    EXPECT_THAT(ErrorOf(head, o), HasSubstr("Tunnel server list cannot be used"));
    o.tunnelServers = "t";
    o.targetFolder = "D:\\" + std::string(kMaxLineBytes, 'f');
    EXPECT_THAT(ErrorOf(head, o), HasSubstr("Target folder cannot be used"));
    // A placeholder's value with a line break could not be written back.
    EXPECT_THAT(ErrorOf(head + "Logo=$BROKEN\n", Options({{"BROKEN", "a\r\nb"}})),
                HasSubstr("holds a line break in file: setup.cfg:3"));
}

class DescriptionFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = TempFolder() + "\\corvdesc" + std::to_string(CurrentProcessId());
        RemoveFolder(dir_);
        ASSERT_EQ(kOk, MakeDirectory(dir_));
    }
    void TearDown() override {
        for (const char* name : {"uninst.cfg", "uninst.mrg", "new.cfg"})
            RemoveFile(dir_ + "\\" + name);
        RemoveFolder(dir_ + "\\uninst.mrg");
        RemoveFolder(dir_);
    }
    std::string dir_;
};

const char kInstalled[] =
    "[corvinstall]\nuser=S-1-5-21-1\n"
    "[Release]\nPackageType=Install\nProduct=Corvane\nVersion=2.0\nInstallFor=allusers\n"
    "[AddRemovePrograms]\nDisplayName=Corvane\nUninstallString=C:\\Corvane\\uninst.exe\n"
    "InstallLocation=C:\\Corvane\n"
    "[Selectables]\ninternal=old|Old|selected\n"
    "[RegistryKeys]\nreg=$TargetHKEY|SOFTWARE\\Velmora|a|REG_SZ|1\nreg=HKCU|SOFTWARE\\Keep\n"
    "Selectable=old|reg|HKCU|SOFTWARE\\Old\n"
    "[FileItems]\nfile=C:\\Corvane\\a.exe\nfile=C:\\Corvane\\gone.dll\nfile=C:\\Corvane\\c.exe\n"
    "[Scripts]\nExec=run.exe|void||void|show|keep|1\nLaunchApp=run.exe\n";

TEST_F(DescriptionFileTest, LoadReportsMissingAndCorruptFiles) {
    CInstallConfig c;
    try {
        c.LoadInstalled(dir_ + "\\uninst.cfg", Options());
        ADD_FAILURE();
    } catch (const CConfigException& e) {
        EXPECT_EQ("Config file does not exist: " + dir_ + "\\uninst.cfg\n", e.Message());
    }
    try {
        c.Load(dir_ + "\\uninst.cfg", Options());
        ADD_FAILURE();
    } catch (const CConfigException& e) {
        EXPECT_EQ("Could not open: " + dir_ + "\\uninst.cfg\n\npwd: " + CurrentFolder(),
                  e.Message());
    }
    auto installedError = [&](const std::string& text) -> std::string {
        WriteFileBytes(dir_ + "\\uninst.cfg", text);
        try {
            CInstallConfig().LoadInstalled(dir_ + "\\uninst.cfg", Options());
        } catch (const CConfigException& e) {
            return e.Message();
        }
        return "ok";
    };
    std::string f = dir_ + "\\uninst.cfg";
    EXPECT_EQ("Config file is corrupt! \n\nRelease info is missing in file: " + f + "\n",
              installedError("[Pages]\n"));
    EXPECT_EQ("Config file is corrupt! \n\nVersion info is missing in file: " + f + "\n",
              installedError("[Release]\nProduct=P\n"));
    EXPECT_EQ("Installation file, " + f + ", is corrupt!\n[AddRemoveProgs] DisplayName is missing",
              installedError("[Release]\nVersion=1\n"));
    EXPECT_EQ(
        "Installation file, " + f + ", is corrupt!\n[AddRemoveProgs] UninstallString is missing",
        installedError("[Release]\nVersion=1\n[AddRemovePrograms]\nDisplayName=P\n"));
    EXPECT_EQ("ok", installedError(kInstalled));
}

TEST_F(DescriptionFileTest, MergeReplacesInPlaceAppendsAndDropsObsoleteItems) {
    std::string installed = dir_ + "\\uninst.cfg";
    ASSERT_EQ(kOk, WriteFileBytes(installed, kInstalled));
    CInstallConfig newer = Read(
        "[Release]\nPackageType=patch\nProduct=Corvane\nVersion=2.1\nInstallFor=allusers\n"
        "[AddRemovePrograms]\nDisplayName=Corvane\n"
        "[Selectables]\ninternal=new|New|cleared\n"
        "[RegistryKeys]\nreg=HKLM|software\\velmora|A|REG_SZ|2\nreg=HKCU|SOFTWARE\\Added\n"
        "[FileItems]\nfile=c:\\corvane\\GONE.dll|obsolete\nfile=C:\\Corvane\\a.exe|v2\n"
        "Selectable=new|file|C:\\Corvane\\new.exe\nfile=C:\\Corvane\\d.exe\n"
        "[Scripts]\nLaunchApp=run.exe|-x|keep|5\n");
    CInstallConfig::MergeIntoFile(installed, newer, Options());
    EXPECT_FALSE(PathExists(dir_ + "\\uninst.mrg"));

    CInstallConfig merged;
    merged.LoadInstalled(installed, Options());
    EXPECT_EQ("2.1", merged.GetRelease().version);
    EXPECT_EQ("S-1-5-21-1", merged.GetUser());
    EXPECT_EQ("C:\\Corvane\\uninst.exe", merged.GetAddRemove().uninstallString);
    EXPECT_EQ("C:\\Corvane", merged.GetAddRemove().installLocation);
    ASSERT_EQ(2u, merged.GetSelectables().size());

    const auto& reg = merged.GetRegistryItems();
    ASSERT_EQ(4u, reg.size());
    EXPECT_EQ("HKLM", reg[0].key.root);  // $TargetHKEY for all users is HKLM: same value
    EXPECT_EQ("2", reg[0].key.data);
    EXPECT_EQ("HKCU\\SOFTWARE\\Keep", reg[1].key.Path());
    EXPECT_EQ("HKCU\\SOFTWARE\\Added", reg[2].key.Path());
    EXPECT_EQ("old", reg[3].selectable);

    std::vector<std::string> paths;
    for (const auto& f : merged.GetFileItems()) paths.push_back(f.path);
    EXPECT_EQ((std::vector<std::string>{"C:\\Corvane\\a.exe", "C:\\Corvane\\c.exe",
                                        "C:\\Corvane\\d.exe", "C:\\Corvane\\new.exe"}),
              paths);
    EXPECT_EQ(std::vector<std::string>{"v2"}, merged.GetFileItems()[0].fields);

    // An Exec and a LaunchApp of the same program are different scripts.
    ASSERT_EQ(2u, merged.GetScripts().size());
    EXPECT_EQ(ScriptKind::Exec, merged.GetScripts()[0].kind);
    EXPECT_EQ(5u, merged.GetScripts()[1].stamp);
}

// An update keeps what describes the installation: a later uninstall must act on the folder,
// root and components that were installed, not on the new package's defaults.
TEST(DescriptionMergeTest, TheInstallationsFactsSurviveAnUpdate) {
    CInstallConfig installed = Read(
        "[corvinstall]\nuser=S-1-5-21-9\n"
        "[Release]\nPackageType=Install\nProduct=Corvane\nVersion=2.0\n"
        "TargetFolder=E:\\Tools\\Corvane\nInstallFor=onlyforme\n"
        "[AddRemovePrograms]\nDisplayName=Corvane\nUninstallString=E:\\Tools\\Corvane\\uninst.exe\n"
        "InstallLocation=E:\\Tools\\Corvane\n"
        "[Selectables]\ninternal=docs|Documentation|cleared\ninternal=core|Core|selected\n");
    CInstallConfig package = Read(
        "[Release]\nPackageType=Install\nCompany=Velmora\nProduct=Corvane\nVersion=2.1\n"
        "TargetFolder=C:\\Program Files\\Corvane\nInstallFor=allusers|prompt\nLogo=new.bmp\n"
        "[AddRemovePrograms]\nDisplayName=Corvane\nDisplayVersion=2.1\nPublisher=Velmora\n"
        "InstallLocation=C:\\Program Files\\Corvane\n"
        "[Selectables]\ninternal=docs|Manuals|selected\ninternal=extra|Extra|selected\n");
    installed.Merge(package);
    const ReleaseInfo& r = installed.GetRelease();
    EXPECT_EQ("2.1", r.version);
    EXPECT_EQ("Velmora", r.company);
    EXPECT_EQ("new.bmp", r.logo);
    EXPECT_EQ("E:\\Tools\\Corvane", r.targetFolder);
    EXPECT_EQ(InstallFor::OnlyForMe, r.installFor);
    EXPECT_FALSE(r.promptInstallFor);
    EXPECT_EQ("S-1-5-21-9", installed.GetUser());
    const AddRemoveInfo& a = installed.GetAddRemove();
    EXPECT_EQ("E:\\Tools\\Corvane\\uninst.exe", a.uninstallString);
    EXPECT_EQ("E:\\Tools\\Corvane", a.installLocation);
    EXPECT_EQ("2.1", a.displayVersion);
    EXPECT_EQ("Velmora", a.publisher);
    ASSERT_EQ(3u, installed.GetSelectables().size());
    EXPECT_EQ("Manuals", installed.GetSelectables()[0].title);
    EXPECT_FALSE(installed.GetSelectables()[0].selected);  // left out, and stays so
    EXPECT_TRUE(installed.GetSelectables()[1].selected);
    EXPECT_TRUE(installed.GetSelectables()[2].selected);  // new with this release
}

TEST_F(DescriptionFileTest, FailedMergeLeavesTheInstalledCopy) {
    std::string installed = dir_ + "\\uninst.cfg";
    ASSERT_EQ(kOk, WriteFileBytes(installed, kInstalled));
    ASSERT_EQ(kOk, MakeDirectory(dir_ + "\\uninst.mrg"));  // the merge file cannot be written
    CInstallConfig newer = Read("[Release]\nVersion=9\n");
    try {
        CInstallConfig::MergeIntoFile(installed, newer, Options());
        ADD_FAILURE();
    } catch (const CInstallException& e) {
        EXPECT_EQ("Could not merge new updates into current config file!", e.Message());
    }
    std::string text;
    ASSERT_TRUE(ReadFileText(installed, &text));
    EXPECT_EQ(kInstalled, text);
}

TEST_F(DescriptionFileTest, FileTextIsInTheSystemCodePage) {
    // "B\xFCro" is one byte per character in the file; inside, the text is UTF-8 on Windows.
    std::string path = dir_ + "\\uninst.cfg";
    ASSERT_EQ(kOk, WriteFileBytes(path, "[Release]\r\nProduct=B\xFCro\r\nVersion=1\r\n"));
    CInstallConfig c;
    c.Load(path, Options());
    EXPECT_EQ(AnsiToUtf8("B\xFCro"), c.GetRelease().product);
    c.Save(path);
    std::string text;
    ASSERT_TRUE(ReadFileText(path, &text));
    EXPECT_NE(std::string::npos, text.find("Product=B\xFCro\r\n"));
#ifdef _WIN32
    EXPECT_EQ("B\xC3\xBCro", c.GetRelease().product);
    // A character that a single-byte code page cannot hold is refused, not written as "?".
    c.GetRelease().company = "\xE4\xB8\xAD";
    try {
        c.Save(path);
        ADD_FAILURE();
    } catch (const CConfigException& e) {
        EXPECT_THAT(e.Message(),
                    HasSubstr("cannot hold the text of the line: Company=\xE4\xB8\xAD"));
    }
    // The line limit counts the file's bytes: 600 characters of two UTF-8 bytes each are a
    // 608-byte line in the file, written and read back.
    std::string longLine = "[Release]\r\nVersion=1\r\nProduct=" + std::string(600, '\xFC') + "\r\n";
    ASSERT_EQ(kOk, WriteFileBytes(path, longLine));
    c.Load(path, Options());
    EXPECT_EQ(1200u, c.GetRelease().product.size());
    c.GetRelease().company = "$Product";  // taken as written: placeholders are not replaced on save
    c.Save(path);
    CInstallConfig back;
    back.Load(path, Options());
    EXPECT_EQ(c.GetRelease().product, back.GetRelease().product);
    // Replaced placeholders are held to the same measure.
    ASSERT_EQ(kOk, WriteFileBytes(path, longLine + "Company=$Product\r\n"));
    back.Load(path, Options());
    EXPECT_EQ(back.GetRelease().product, back.GetRelease().company);
#endif
}

}  // namespace
}  // namespace corv::inst
