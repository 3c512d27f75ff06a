// What a real scan leaves for others to read. The inventory tool shows the
// records as a table, JSON or CSV: a module that is no plug-in by its file
// name, a shell's plug-ins under their shell, known-bad modules marked, and
// with --bad only those, with their paths; a key that does not exist is an
// error, not an empty list. The bitmap cache holds the pictures of the
// host's channel-strip modules.
#include <windows.h>
#include <gdiplus.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "TestSupport.h"
#include "tests/plugins/vst2/StripdeckPictures.h"

using namespace sievo_test;
namespace pictures = stripdeck_pictures;

namespace {

constexpr std::string::size_type kNone = std::string::npos;

TEST(InventoryTool, TableJsonCsvAndKnownBadModulesOfARealScan) {
    TestKey key;
    TempDir dir;
    key.AddScanPath(dir.Make(L"plugins"));
    dir.Copy(PluginPath(L"effect_with_editor"), L"plugins\\Echo.dll");
    dir.Copy(PluginPath(L"synth_wants_midi"), L"plugins\\Pluck.dll");
    dir.Copy(PluginPath(L"not_a_plugin"), L"plugins\\Helper.dll");
    dir.Copy(PluginPath(L"shell_three"), L"plugins\\Trio.dll");
    ASSERT_EQ(RunSievo(key.Args()).exitCode, 0u);
    auto run = [&](const std::wstring& args) {
        std::string out, err;
        EXPECT_EQ(
            RunCapture(L"SievoInventory.exe", L"/VSTRegPerUser \"/VSTRegKey:" + key.Path() + L"\"" + args, &out, &err)
                .exitCode,
            0u)
            << err;
        return out;
    };

    std::string out = run(L" /Metrics");
    for (const char* shown : {"Echo Chamber", "Pluck Synth", "VST2", "7 records",
                              "Last scan: 5 found, 5 scanned, 0 removed", "\nHelper.dll ", " not a plug-in "})
        EXPECT_NE(out.find(shown), kNone) << shown << " in\n" << out;

    // The shell's plug-ins follow it, indented, whatever the registry's
    // order, and no plug-in of a shell stands anywhere else.
    size_t shell = out.find(" shell ");
    ASSERT_NE(shell, kNone);
    size_t line = out.find('\n', shell) + 1;
    int members = 0;
    for (; out.compare(line, 2, "  ") == 0; line = out.find('\n', line) + 1, ++members)
        EXPECT_NE(out.substr(line, out.find('\n', line) - line).find("VST2 in shell"), kNone) << out;
    EXPECT_EQ(members, 3) << "Alpha, Beta and Gamma under their shell:\n" << out;
    EXPECT_EQ(out.find("in shell", line), kNone) << out;
    EXPECT_LT(shell, out.find("  Alpha from 1001")) << out;

    std::string json = run(L" /Format:json /Metrics");
    EXPECT_NE(json.find("{\"name\": \"Pluck Synth\", \"vendor\": \"Tarnwell Test Labs\", \"type\": \"VST2\", "
                        "\"insOuts\": \"0/2\", \"synth\": \"yes\", \"bad\": \"no\", \"clsid\": \"{141AC902-"),
              kNone)
        << json;
    EXPECT_NE(json.find("\"pluginsFound\": 5"), kNone) << json;
    EXPECT_NE(json.find("\"name\": \"Helper.dll\", \"vendor\": \"\", \"type\": \"not a plug-in\""), kNone);
    std::string csv = run(L" /Format:csv");
    EXPECT_EQ(csv.rfind("Name,Vendor,Type,Ins/Outs,Synth,Bad,Class id,Path\n", 0), 0u) << csv;
    EXPECT_NE(csv.find("Echo Chamber,Tarnwell Test Labs,VST2,2/2,no,no,{141AC902-"), kNone) << csv;

    // A module that took the scanner down is known bad from then on: the
    // table marks it, and --bad lists it alone with its path.
    EXPECT_EQ(run(L" --bad"), "No known-bad modules.\n");
    std::wstring bad = dir.Copy(PluginPath(L"exits_in_entry"), L"plugins\\Zap.dll");
    RunSievo(key.Args());  // the module ends the scanner's process
    std::string table = run(L"");
    size_t zap = table.find("\nZap.dll ");
    ASSERT_NE(zap, kNone) << table;
    EXPECT_NE(table.substr(zap, table.find('\n', zap + 1) - zap).find("KNOWN BAD"), kNone) << table;
    std::string list = run(L" --bad");
    EXPECT_EQ(list.rfind("Name     Type     Path\n", 0), 0u) << list;
    size_t unknown = list.find(" unknown  ");
    ASSERT_NE(unknown, kNone) << list;
    std::string path = Narrow(bad);  // the scan keeps folders in lower case
    EXPECT_EQ(_stricmp(list.substr(unknown + 10, path.size()).c_str(), path.c_str()), 0) << list;
    EXPECT_NE(list.find("1 known-bad modules: "), kNone) << list;
    EXPECT_EQ(list.find("Echo"), kNone) << "only known-bad modules: " << list;
}

TEST(InventoryTool, MissingKeyAndBadArgumentsFailClearly) {
    std::string out, err;
    RunResult r =
        RunCapture(L"SievoInventory.exe", L"/VSTRegPerUser \"/VSTRegKey:Software\\SievoTest\\NoSuchKey\"", &out, &err);
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_NE(err.find("no configuration key HKEY_CURRENT_USER\\Software\\SievoTest\\NoSuchKey"), kNone) << err;
    EXPECT_TRUE(out.empty());
    err.clear();
    EXPECT_EQ(RunCapture(L"SievoInventory.exe", L"/Format:xml", &out, &err).exitCode, 2u);
    EXPECT_NE(err.find("unknown argument /Format:xml"), kNone);
}

// Empty when the file decodes to exactly the picture; else what differs first.
std::string CompareWithPicture(const std::wstring& path, const pictures::Picture& picture) {
    namespace gdip = Gdiplus::DllExports;
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (gdip::GdipCreateBitmapFromFile(path.c_str(), &bitmap) != Gdiplus::Ok || !bitmap) return "does not decode";
    UINT width = 0, height = 0;
    gdip::GdipGetImageWidth(bitmap, &width);
    gdip::GdipGetImageHeight(bitmap, &height);
    std::string difference;
    if (static_cast<int>(width) != picture.width || static_cast<int>(height) != picture.height)
        difference = "size " + std::to_string(width) + "x" + std::to_string(height);
    for (int i = 0; difference.empty() && i < picture.width * picture.height; ++i) {
        const int x = i % picture.width, y = i / picture.width;
        Gdiplus::ARGB argb = 0;
        gdip::GdipBitmapGetPixel(bitmap, x, y, &argb);
        if ((argb & 0xFFFFFF) != pictures::PixelColour(picture, x, y))
            difference = "pixel " + std::to_string(x) + "," + std::to_string(y);
    }
    gdip::GdipDisposeImage(bitmap);
    return difference;
}

// A full scan stores each picture a channel-strip module hands over as PNG
// under the cache root, once per class id of the module's record, and
// deletes the bitmaps it received. The root may hold a variable and name
// folders that do not exist yet.
TEST(BitmapScan, PicturesStoredUnderBothClassIdsAsDrawn) {
    TestKey key;
    TempDir dir;
    key.AddScanPath(dir.Make(L"plugins"));
    const std::wstring module = dir.Copy(PluginPath(L"stripdeck_bitmaps"), L"plugins\\Strip Pictures.dll");
    const std::wstring silent = dir.Copy(PluginPath(L"stripdeck_private_only"), L"plugins\\Strip EQ.dll");
    key.SetText(L"VSTBitmapCachePath", L"%TEMP%" + dir.BelowTemp() + L"\\not\\yet\\there");
    ASSERT_EQ(RunSievo(key.Args()).exitCode, 0u);

    auto folder = [&](const std::wstring& copy, const wchar_t* id) {
        return dir.Path() + L"\\not\\yet\\there\\" + key.Text(id, TestKey::Record(copy).c_str());
    };
    ASSERT_EQ(key.Text(L"clsidPlug", TestKey::Record(module).c_str()).size(), 38u);
    ASSERT_NE(folder(module, L"clsidPlug"), folder(module, L"clsidPlugMD5"));
    ULONG_PTR gdiplus = 0;
    Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&gdiplus, &input, nullptr), Gdiplus::Ok);
    for (const wchar_t* id : {L"clsidPlug", L"clsidPlugMD5"}) {
        EXPECT_EQ(CompareWithPicture(folder(module, id) + L"\\thumbnail.png", pictures::kThumbnail), "") << id;
        EXPECT_EQ(CompareWithPicture(folder(module, id) + L"\\standin.png", pictures::kStandIn), "") << id;
        EXPECT_EQ(GetFileAttributesW(folder(silent, id).c_str()), INVALID_FILE_ATTRIBUTES)
            << "a module that hands out no pictures gets no folder";
    }
    Gdiplus::GdiplusShutdown(gdiplus);
    // What the module noted about the bitmaps it handed out, once closed.
    std::ostringstream handles;
    handles << std::ifstream(Narrow(module + L".handles")).rdbuf();
    EXPECT_EQ(handles.str(), "thumbnail deleted\nstandin deleted\n");
}

}  // namespace
