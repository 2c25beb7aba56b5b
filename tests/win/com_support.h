// What the Windows test programs of COM objects share: COM on the test
// thread for the whole program, and the IDispatch members a hand-made fake
// does not need.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <gtest/gtest.h>

#include <functional>
#include <utility>

namespace lumora::test {

// COM (a single-threaded apartment) on the test thread from before the
// first test to after the last; `check` runs once COM is up.
//   [[maybe_unused]] ::testing::Environment* const g_com =
//       ::testing::AddGlobalTestEnvironment(new ComApartment);
class ComApartment : public ::testing::Environment {
 public:
  explicit ComApartment(std::function<void()> check = nullptr) : check_(std::move(check)) {}
  void SetUp() override {
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    if (check_) check_();
  }
  void TearDown() override { CoUninitialize(); }

 private:
  std::function<void()> check_;
};

// A fake's IDispatch without type information or names (Base derives from
// IDispatch); NoDispatch refuses invocation too.
template <class Base>
class NoTypeInfo : public Base {
 public:
  IFACEMETHODIMP GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  IFACEMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  IFACEMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
};

template <class Base>
class NoDispatch : public NoTypeInfo<Base> {
 public:
  IFACEMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                        UINT*) override {
    return E_NOTIMPL;
  }
};

}  // namespace lumora::test
