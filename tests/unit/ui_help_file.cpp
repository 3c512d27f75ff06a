// F1 opens twvst.chm beside the program: the build puts a compiled help file
// there with a page for every dialog.
#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"

using namespace sievo_test;

TEST(HelpFile, ACompiledHelpFileLiesBesideTheProgram) {
    std::wstring path = BinDir() + L"\\twvst.chm";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << "no help file; is chmcmd (fp-utils) installed?";
    std::string bytes;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got) bytes.append(chunk, got);
    CloseHandle(file);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(0, 4), "ITSF") << "not a compiled HTML help file";
    // The directory of a CHM names every page it holds.
    for (const char* page :
         {"/index.html", "/scan-paths.html", "/plugin-properties.html", "/plugin-details.html", "/folder-defaults.html",
          "/reset.html", "/progress.html", "/load-error.html", "/exception.html"})
        EXPECT_NE(bytes.find(page), std::string::npos) << page;
}
