// VCapFilterEnum: the category table and enumeration over the system
// device enumerator of the test prefix (which has no cameras).
#include <strmif.h>
#include <uuids.h>

#include <cwctype>

#include "com/raii.h"
#include "tests/win/enumeration/com_fixture.h"

namespace lumora::test {
namespace {

class FilterEnumTest : public ObjectTest<IVCapFilterEnum, CLSID_VCapFilterEnum> {
 protected:
  ComPtr<IVCapFilterEnum>& fe = object;

  std::wstring CategoryText(KnownDeviceCat value) {
    com::Bstr text;
    EXPECT_EQ(fe->DeviceCatClsid(value, text.Receive()), S_OK);
    return Str(text.Get());
  }
};

// The platform's own text of a class identifier, lower-cased.
std::wstring LowerText(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  std::wstring out(text);
  for (wchar_t& c : out) c = static_cast<wchar_t>(std::towlower(c));
  return out;
}

TEST_F(FilterEnumTest, CategoryTextsMatchThePlatformIdentifiers) {
  const GUID* categories[] = {
      &CLSID_VideoInputDeviceCategory, &CLSID_VideoCompressorCategory,
      &CLSID_AudioCompressorCategory,  &CLSID_AudioInputDeviceCategory,
      &CLSID_AudioRendererCategory,    &CLSID_LegacyAmFilterCategory,
      &CLSID_MidiRendererCategory,     &CLSID_TransmitCategory,
      &CLSID_DeviceControlCategory,    &CLSID_ActiveMovieCategories,
      &CLSID_DVDHWDecodersCategory,
  };
  for (int i = 0; i < 11; ++i) {
    EXPECT_EQ(CategoryText(static_cast<KnownDeviceCat>(i)), LowerText(*categories[i])) << i;
  }
  EXPECT_EQ(CategoryText(CGC_VideoCapture), L"{860bb310-5d01-11d0-bd3b-00a0c911ce86}");
}

TEST_F(FilterEnumTest, CategoryOutsideTheTableIsRefused) {
  for (int value : {11, -1, 1000}) {
    BSTR untouched = reinterpret_cast<BSTR>(0x1234);
    EXPECT_EQ(fe->DeviceCatClsid(static_cast<KnownDeviceCat>(value), &untouched), E_INVALIDARG);
    EXPECT_EQ(untouched, reinterpret_cast<BSTR>(0x1234));
  }
  EXPECT_EQ(fe->DeviceCatClsid(CGC_VideoCapture, nullptr), E_POINTER);
}

TEST_F(FilterEnumTest, MalformedCategoryTextGivesTheConversionError) {
  for (const wchar_t* text :
       {L"not a clsid", L"{860bb310-5d01-11d0-bd3b}", L"{zzzzzzzz-5d01-11d0-bd3b-00a0c911ce86}"}) {
    CLSID ignored;
    com::Bstr bstr(text);
    const HRESULT expected = CLSIDFromString(bstr.Get(), &ignored);
    ASSERT_TRUE(FAILED(expected));
    IDispatch* untouched = reinterpret_cast<IDispatch*>(0x1234);
    EXPECT_EQ(fe->EnumerateFilter(bstr.Get(), &untouched), expected);
    EXPECT_EQ(untouched, reinterpret_cast<IDispatch*>(0x1234));
  }
  com::Bstr bad(L"{bad}");
  IDispatch* out = nullptr;
  EXPECT_EQ(fe->EnumerateFilter(bad.Get(), &out), CO_E_CLASSSTRING);
}

// The prefix has no cameras, and its software filters are not plug-and-play
// devices: both give an empty collection.
TEST_F(FilterEnumTest, CategoriesWithoutDevicesGiveEmptyCollections) {
  for (KnownDeviceCat category : {CGC_VideoCapture, CGC_DirectShowFilters, CGC_DVDHWDecoders}) {
    com::Bstr text;
    ASSERT_EQ(fe->DeviceCatClsid(category, text.Receive()), S_OK);
    ComPtr<IDispatch> result;
    EXPECT_EQ(fe->EnumerateFilter(text.Get(), &result), S_OK) << category;
    ComPtr<IVCapCollection> coll;
    ASSERT_HRESULT_SUCCEEDED(result.As(&coll));
    LONG count = -1;
    ASSERT_EQ(coll->get_Count(&count), S_OK);
    EXPECT_EQ(count, 0) << category;
  }
}

TEST_F(FilterEnumTest, UpperCaseCategoryTextIsAccepted) {
  com::Bstr text(L"{860BB310-5D01-11D0-BD3B-00A0C911CE86}");
  ComPtr<IDispatch> result;
  EXPECT_EQ(fe->EnumerateFilter(text.Get(), &result), S_OK);
  EXPECT_TRUE(result);
  EXPECT_EQ(fe->EnumerateFilter(text.Get(), nullptr), E_POINTER);
}

}  // namespace
}  // namespace lumora::test
