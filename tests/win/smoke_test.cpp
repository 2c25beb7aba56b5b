// The built library loads in a Windows process.
#include <windows.h>

#include <gtest/gtest.h>

TEST(Library, LoadsAndUnloads) {
  HMODULE module = LoadLibraryW(L"Lumora.dll");
  ASSERT_NE(module, nullptr) << "LoadLibrary failed: " << GetLastError();
  EXPECT_TRUE(FreeLibrary(module));
}
