// The type library LUMORALib as loaded from Lumora.dll (not registered):
// its 15 published entries (unchanged, in their places) and the three that
// follow them, with kinds, identifiers, flags and help strings, every member
// with its DISPID, kind and parameters, and the enumeration values.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "com/raii.h"

using lumora::com::Bstr;
using Microsoft::WRL::ComPtr;

namespace {

GUID Guid(const wchar_t* text) {
  GUID guid{};
  EXPECT_EQ(CLSIDFromString(const_cast<LPOLESTR>(text), &guid), S_OK) << "bad literal";
  return guid;
}

std::wstring Text(const Bstr& s) { return s.Get() ? std::wstring(s.Get(), s.Length()) : L""; }

std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }

class TypeLib : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    HMODULE module = LoadLibraryW(L"Lumora.dll");
    ASSERT_NE(module, nullptr);
    wchar_t path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(module, path, MAX_PATH), 0u);
    lib_ = new ComPtr<ITypeLib>();
    ASSERT_EQ(LoadTypeLibEx(path, REGKIND_NONE, lib_->GetAddressOf()), S_OK);
    FreeLibrary(module);
  }
  static void TearDownTestSuite() {
    delete lib_;
    lib_ = nullptr;
  }
  void SetUp() override {
    if (!lib_ || !*lib_) GTEST_SKIP() << "type library not loaded";
  }

  static ComPtr<ITypeInfo> Entry(const wchar_t* id) {
    ComPtr<ITypeInfo> info;
    EXPECT_EQ((*lib_)->GetTypeInfoOfGuid(Guid(id), &info), S_OK);
    return info;
  }

  static ComPtr<ITypeLib>* lib_;
};

ComPtr<ITypeLib>* TypeLib::lib_ = nullptr;

TEST_F(TypeLib, LibraryAttributes) {
  TLIBATTR* attr = nullptr;
  ASSERT_EQ((*lib_)->GetLibAttr(&attr), S_OK);
  EXPECT_TRUE(IsEqualGUID(attr->guid, Guid(L"{BF8A8824-6A64-4CFD-B609-6B92EF6ABEBC}")));
  EXPECT_EQ(attr->wMajorVerNum, 1);
  EXPECT_EQ(attr->wMinorVerNum, 0);
  EXPECT_EQ(attr->lcid, 1033u);
  (*lib_)->ReleaseTLibAttr(attr);
  Bstr name, doc;
  ASSERT_EQ((*lib_)->GetDocumentation(-1, name.Receive(), doc.Receive(), nullptr, nullptr), S_OK);
  EXPECT_EQ(Text(name), L"LUMORALib");
  EXPECT_EQ(Text(doc), L"Lumora 1.0 Type Library");
}

constexpr WORD kFlagMask = TYPEFLAG_FHIDDEN | TYPEFLAG_FCANCREATE | TYPEFLAG_FDUAL |
                           TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION |
                           TYPEFLAG_FRESTRICTED | TYPEFLAG_FAPPOBJECT | TYPEFLAG_FCONTROL;
constexpr WORD kHidden = TYPEFLAG_FHIDDEN;
constexpr WORD kCreatable = TYPEFLAG_FCANCREATE;
constexpr WORD kDual = TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION;

struct EntryRow {
  TYPEKIND kind;  // a dual interface is listed by its dispatch side
  const wchar_t* name;
  const wchar_t* doc;
  const wchar_t* guid;
  WORD flags;
};

// clang-format off
const EntryRow kEntries[] = {
    {TKIND_DISPATCH, L"_IDVidCapCtrlEvents", L"_IDVidCapCtrlEvents Interface",
     L"{BF8B8825-6A64-4CFD-B609-6B92EF6ABEBC}", kHidden},
    {TKIND_COCLASS, L"DVidCapCtrl", L"DVidCapCtrl Class", L"{BF8A8825-6A64-4CFD-B609-6B92EF6ABEBC}",
     kCreatable | kHidden},
    {TKIND_DISPATCH, L"IDVidCapCtrl", L"IDVidCapCtrl Interface",
     L"{2D10AD40-B7FD-43B3-9998-954E9BDC45A1}", kDual | kHidden},
    {TKIND_ENUM, L"VidCapProperty", L"Capability Enum", L"{2D10AD43-B7FD-43B3-9998-954E9BDC45A1}", 0},
    {TKIND_ENUM, L"VidCapPropertySupport", L"Capability Support Enum",
     L"{2D10AD42-B7FD-43B3-9998-954E9BDC45A1}", 0},
    {TKIND_ENUM, L"KnownChipsetCat", L"Known Chipset Category IDs",
     L"{2D10AD41-B7FD-43B3-9998-954E9BDC45A1}", 0},
    {TKIND_COCLASS, L"VCapCollection", L"Vexal Collection", L"{BF8A8826-6A64-4CFD-B609-6B92EF6ABEBC}",
     kCreatable | kHidden},
    {TKIND_DISPATCH, L"IVCapCollection", L"Vexal Collection",
     L"{2D10AD44-B7FD-43B3-9998-954E9BDC45A1}", kDual | kHidden},
    {TKIND_COCLASS, L"VCapFilter", L"An enumerated filter object",
     L"{BF8A8827-6A64-4CFD-B609-6B92EF6ABEBC}", kCreatable | kHidden},
    {TKIND_DISPATCH, L"IVCapFilter", L"", L"{2D10AD45-B7FD-43B3-9998-954E9BDC45A1}", kDual | kHidden},
    {TKIND_COCLASS, L"VCapFilterEnum", L"VCapFilterEnum Class",
     L"{BF8A8828-6A64-4CFD-B609-6B92EF6ABEBC}", kCreatable | kHidden},
    {TKIND_DISPATCH, L"IVCapFilterEnum", L"DS Filter Enumeration Interface",
     L"{2D10AD46-B7FD-43B3-9998-954E9BDC45A1}", kDual | kHidden},
    {TKIND_ENUM, L"KnownDeviceCat", L"Known Device Category IDs",
     L"{2D10AD47-B7FD-43B3-9998-954E9BDC45A1}", kHidden},
    {TKIND_COCLASS, L"LumoraCOM", L"LumoraCOM Class", L"{C5C7547B-978B-4AD0-9414-268EE9E0940B}",
     kCreatable},
    {TKIND_DISPATCH, L"ILumoraCOM", L"Provides access to various camera properties",
     L"{F90F5834-8349-4577-9255-1E34DF752417}", kDual},
    // The second interfaces, after every published entry.
    {TKIND_DISPATCH, L"IDVidCapCtrl2", L"IDVidCapCtrl2 Interface",
     L"{3E49AA5C-6594-401B-A301-1A7C22D3F5CC}", kDual | kHidden},
    {TKIND_ENUM, L"VidCapPropertyMode", L"Property Mode Enum",
     L"{3E49878C-DC4D-4025-9C2E-C9F3E83AED43}", 0},
    {TKIND_DISPATCH, L"ILumoraCOM2", L"Automatic modes, defaults and script-friendly lists",
     L"{41369B6F-CC1A-471E-941D-E72D43DB057B}", kDual},
    // The third interfaces: every capture source.
    {TKIND_DISPATCH, L"IVCapFilter2", L"An enumerated filter object and the kind of its source",
     L"{BAC0BD1D-7925-451C-A4E0-C0C97054AD10}", kDual | kHidden},
    {TKIND_DISPATCH, L"IVCapFilterEnum2", L"DS Filter Enumeration Interface, every capture source",
     L"{594DED93-C5CE-4E28-AE99-71B99BDC9C5A}", kDual | kHidden},
    {TKIND_DISPATCH, L"ILumoraCOM3", L"Every capture source, software and virtual cameras included",
     L"{9034D083-6CCE-4B3A-A89D-B5806ABFF7A8}", kDual},
    // The fourth interfaces: extension-unit controls.
    {TKIND_DISPATCH, L"IDVidCapCtrl3", L"IDVidCapCtrl3 Interface",
     L"{E5363657-EDFF-4D3B-9F2F-60646410B213}", kDual | kHidden},
    {TKIND_DISPATCH, L"ILumoraCOM4", L"Extension-unit controls of the cam",
     L"{057DEA5E-D6B8-4C7B-BE4C-E64FC532F8B8}", kDual},
};
// clang-format on

TEST_F(TypeLib, EntriesInOrder) {
  ASSERT_EQ((*lib_)->GetTypeInfoCount(), std::size(kEntries));
  for (UINT i = 0; i < std::size(kEntries); ++i) {
    const EntryRow& row = kEntries[i];
    SCOPED_TRACE(Narrow(row.name));
    ComPtr<ITypeInfo> info;
    ASSERT_EQ((*lib_)->GetTypeInfo(i, &info), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, row.kind);
    EXPECT_TRUE(IsEqualGUID(attr->guid, Guid(row.guid)));
    WORD flags = attr->wTypeFlags;
    info->ReleaseTypeAttr(attr);
    if (flags & TYPEFLAG_FDUAL) {
      // The library file marks every dual interface for automation (its one
      // entry carries TYPEFLAG_FOLEAUTOMATION); the loader reports the flag
      // on the interface side, which must carry it with the dual flag.
      HREFTYPE ref = 0;
      ComPtr<ITypeInfo> vtable;
      ASSERT_EQ(info->GetRefTypeOfImplType(-1, &ref), S_OK);
      ASSERT_EQ(info->GetRefTypeInfo(ref, &vtable), S_OK);
      ASSERT_EQ(vtable->GetTypeAttr(&attr), S_OK);
      const WORD vtableFlags = attr->wTypeFlags;
      vtable->ReleaseTypeAttr(attr);
      EXPECT_EQ(vtableFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION),
                TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION)
          << "interface side " << std::hex << vtableFlags;
      flags |= vtableFlags;
    }
    EXPECT_EQ(flags & kFlagMask, row.flags) << std::hex << flags;
    Bstr name, doc;
    ASSERT_EQ((*lib_)->GetDocumentation(static_cast<INT>(i), name.Receive(), doc.Receive(), nullptr,
                                        nullptr),
              S_OK);
    EXPECT_EQ(Text(name), row.name);
    EXPECT_EQ(Text(doc), row.doc);
  }
}

// Directions: "in", "out", "retval" (out, retval), "inout".
struct Param {
  const wchar_t* name;  // nullptr: the name is not part of the contract
  const char* direction;
};

struct MemberRow {
  const wchar_t* iface;  // identifier of the interface
  const wchar_t* name;
  DISPID id;
  INVOKEKIND kind;
  std::vector<Param> params;
  const wchar_t* doc;  // nullptr: none (a property put without its own)
};

constexpr INVOKEKIND kMethod = INVOKE_FUNC;
constexpr INVOKEKIND kGet = INVOKE_PROPERTYGET;
constexpr INVOKEKIND kPut = INVOKE_PROPERTYPUT;
const wchar_t* const kCtrl = L"{2D10AD40-B7FD-43B3-9998-954E9BDC45A1}";
const wchar_t* const kCollection = L"{2D10AD44-B7FD-43B3-9998-954E9BDC45A1}";
const wchar_t* const kFilter = L"{2D10AD45-B7FD-43B3-9998-954E9BDC45A1}";
const wchar_t* const kEnum = L"{2D10AD46-B7FD-43B3-9998-954E9BDC45A1}";
const wchar_t* const kLumora = L"{F90F5834-8349-4577-9255-1E34DF752417}";
const wchar_t* const kEvents = L"{BF8B8825-6A64-4CFD-B609-6B92EF6ABEBC}";
const wchar_t* const kCtrl2 = L"{3E49AA5C-6594-401B-A301-1A7C22D3F5CC}";
const wchar_t* const kLumora2 = L"{41369B6F-CC1A-471E-941D-E72D43DB057B}";
const wchar_t* const kFilter2 = L"{BAC0BD1D-7925-451C-A4E0-C0C97054AD10}";
const wchar_t* const kEnum2 = L"{594DED93-C5CE-4E28-AE99-71B99BDC9C5A}";
const wchar_t* const kLumora3 = L"{9034D083-6CCE-4B3A-A89D-B5806ABFF7A8}";

// In vtable order per interface.
// clang-format off
const MemberRow kMembers[] = {
    {kCtrl, L"CaptureFilter", 0, kPut, {{nullptr, "in"}}, L"Accepts a capture filter as VCapFilter object"},
    {kCtrl, L"BaseFilter", 1, kPut, {{nullptr, "in"}}, L"Accepts a capture filter as BaseFilter object"},
    {kCtrl, L"FilterInfo", 2, kPut, {{nullptr, "in"}}, L"Accepts a capture filter as FilterInfo object"},
    {kCtrl, L"Has", 3, kMethod, {{L"Property", "in"}, {L"pVal", "retval"}}, L"Query a capability"},
    {kCtrl, L"GetRange", 4, kMethod,
     {{L"Property", "in"}, {L"pMin", "out"}, {L"pMax", "out"}, {L"pSteppingDelta", "out"},
      {L"pDefault", "out"}, {L"pCapsFlags", "out"}},
     L"Retrieve the range of the values of a capability"},
    {kCtrl, L"Prop", 5, kGet, {{L"Property", "in"}, {L"pVal", "retval"}}, L"Current value of a capability"},
    {kCtrl, L"Prop", 5, kPut, {{L"Property", "in"}, {nullptr, "in"}}, nullptr},
    {kCtrl, L"Chipset", 6, kGet, {{L"pVal", "retval"}}, L"property Chipset"},
    {kCtrl, L"GetSetting", 8, kMethod, {{L"setting", "inout"}}, L"Fills a given array with capability values"},
    {kCtrl, L"SetSetting", 9, kMethod, {{L"setting", "inout"}}, L"Set the capabilities values from an array"},
    {kCtrl, L"GetLagtime", 16, kMethod,
     {{L"Prop", "in"}, {L"minLag", "out"}, {L"maxLag", "out"}, {L"meanLag", "out"}, {L"lagCount", "out"}},
     L"method GetLagtime"},

    {kCollection, L"_NewEnum", DISPID_NEWENUM, kGet, {{nullptr, "retval"}}, L""},
    {kCollection, L"Item", DISPID_VALUE, kGet, {{L"Index", "in"}, {nullptr, "retval"}}, L"The collection item"},
    {kCollection, L"Count", 1, kGet, {{nullptr, "retval"}}, L"Number of elements"},
    {kCollection, L"Add", 2, kMethod, {{L"Key", "in"}, {L"Item", "in"}}, L"Add item"},
    {kCollection, L"Add1", 3, kMethod, {{L"Item", "in"}}, L"Add item without key"},
    {kCollection, L"Remove", 4, kMethod, {{L"Index", "in"}}, L"Remove item"},
    {kCollection, L"Clear", 5, kMethod, {}, L"Clear collection"},

    {kFilter, L"FName", 1, kGet, {{nullptr, "retval"}}, L"Name of the filter"},
    {kFilter, L"FName", 1, kPut, {{nullptr, "in"}}, nullptr},
    {kFilter, L"FIndex", 2, kGet, {{nullptr, "retval"}}, L"Collection index of the filter"},
    {kFilter, L"FIndex", 2, kPut, {{nullptr, "in"}}, nullptr},
    {kFilter, L"ClsID", 3, kGet, {{nullptr, "retval"}}, L"CLSID of the filter"},
    {kFilter, L"ClsID", 3, kPut, {{nullptr, "in"}}, nullptr},
    {kFilter, L"Moniker", 4, kGet, {{nullptr, "retval"}}, L"property Moniker"},
    {kFilter, L"Moniker", 4, kPut, {{nullptr, "in"}}, nullptr},
    {kFilter, L"DeviceName", 5, kGet, {{nullptr, "retval"}}, L"DeviceName of the filter"},
    {kFilter, L"DeviceName", 5, kPut, {{nullptr, "in"}}, nullptr},
    {kFilter, L"DevSerial", 6, kGet, {{nullptr, "retval"}}, L"DevSerial of the filter"},
    {kFilter, L"DevSerial", 6, kPut, {{nullptr, "in"}}, nullptr},
    {kFilter, L"DeviceVidPid", 7, kGet, {{nullptr, "retval"}}, L"Device VID and PID of the filter"},
    {kFilter, L"DeviceVidPid", 7, kPut, {{nullptr, "in"}}, nullptr},

    {kEnum, L"EnumerateFilter", 1, kMethod, {{L"ClsID", "in"}, {nullptr, "out"}},
     L"Retrieve a collection of Filters of the given class"},
    {kEnum, L"DeviceCatClsid", 2, kMethod, {{L"deviceCatEnum", "in"}, {nullptr, "out"}},
     L"Return a DeviceCategory Clsid string for enumeration"},

    {kLumora, L"EnumCams", 1, kMethod, {}, L"Enumerates the video capture devices - must be calles once"},
    {kLumora, L"GetCamStrings", 2, kMethod, {{L"camNames", "retval"}}, L"Provides the enumerated camera names"},
    {kLumora, L"GetDevStrings", 3, kMethod, {{L"devNames", "retval"}}, L"Provides the enumerated device names"},
    {kLumora, L"GetCamSerials", 4, kMethod, {{L"camSerials", "retval"}},
     L"Provides the enumerated camera serials"},
    {kLumora, L"SetCam", 5, kMethod, {{L"camNumber", "in"}},
     L"Sets the camera with the array index CamNumber to the current cam"},
    {kLumora, L"CamProperty_Support", 6, kMethod, {{L"Prop", "in"}, {L"pVal", "retval"}},
     L"Returns the support type of a property of the cam"},
    {kLumora, L"CamProperty_Range", 7, kMethod,
     {{L"Prop", "in"}, {L"pMin", "out"}, {L"pMax", "out"}, {L"pDelta", "out"}},
     L"Returns the value range of a property of the cam"},
    {kLumora, L"CamProperty", 8, kGet, {{L"Prop", "in"}, {L"pVal", "retval"}},
     L"Returns a property value from the cam"},
    {kLumora, L"CamProperty", 8, kPut, {{L"Prop", "in"}, {nullptr, "in"}}, nullptr},
    {kLumora, L"CamChipset", 9, kGet, {{L"pVal", "retval"}}, L"Returns the chipset type of the camera"},

    // The second interfaces list only their own members.
    {kCtrl2, L"ModeSupport", 17, kMethod, {{L"Property", "in"}, {L"pVal", "retval"}},
     L"Modes a capability offers: VCM_Auto and VCM_Manual bits, 0 for none"},
    {kCtrl2, L"Mode", 18, kGet, {{L"Property", "in"}, {L"pVal", "retval"}},
     L"Automatic or manual mode of a capability"},
    {kCtrl2, L"Mode", 18, kPut, {{L"Property", "in"}, {nullptr, "in"}}, nullptr},
    {kCtrl2, L"DefaultValue", 19, kGet, {{L"Property", "in"}, {L"pVal", "retval"}},
     L"Default value of a capability"},
    {kCtrl2, L"RangeList", 20, kGet, {{L"Property", "in"}, {L"pVal", "retval"}},
     L"Range of a capability as an array: minimum, maximum, stepping delta and, where known, default"},
    {kCtrl2, L"LagtimeList", 21, kGet, {{L"Prop", "in"}, {L"pVal", "retval"}},
     L"Lag statistics as an array: minimum, maximum, mean, count"},

    {kLumora2, L"CamProperty_ModeSupport", 10, kMethod, {{L"Prop", "in"}, {L"pVal", "retval"}},
     L"Returns the modes a property of the cam offers: VCM_Auto and VCM_Manual bits, 0 for none"},
    {kLumora2, L"CamProperty_Mode", 11, kGet, {{L"Prop", "in"}, {L"pVal", "retval"}},
     L"Returns the automatic or manual mode of a property of the cam"},
    {kLumora2, L"CamProperty_Mode", 11, kPut, {{L"Prop", "in"}, {nullptr, "in"}}, nullptr},
    {kLumora2, L"CamProperty_Default", 12, kGet, {{L"Prop", "in"}, {L"pVal", "retval"}},
     L"Returns the default value of a property of the cam"},
    {kLumora2, L"CamNameList", 13, kGet, {{L"pVal", "retval"}},
     L"Provides the enumerated camera names as an array for scripts"},
    {kLumora2, L"DevNameList", 14, kGet, {{L"pVal", "retval"}},
     L"Provides the enumerated device names as an array for scripts"},
    {kLumora2, L"CamSerialList", 15, kGet, {{L"pVal", "retval"}},
     L"Provides the enumerated camera serials as an array for scripts"},
    {kLumora2, L"CamProperty_RangeList", 16, kGet, {{L"Prop", "in"}, {L"pVal", "retval"}},
     L"Returns the value range of a property of the cam as an array: minimum, maximum, delta and, "
     L"where known, default"},

    {kFilter2, L"SourceKind", 8, kGet, {{nullptr, "retval"}},
     L"Kind of capture source: 0 a kernel-streaming device, 1 any other source"},
    {kFilter2, L"SourceKind", 8, kPut, {{nullptr, "in"}}, nullptr},
    {kEnum2, L"EnumerateAllFilter", 3, kMethod, {{L"ClsID", "in"}, {nullptr, "out"}},
     L"Retrieve a collection of every filter of the given class: devices first, then the other "
     L"sources"},
    {kLumora3, L"EnumAllCams", 17, kMethod, {},
     L"Enumerates every video capture source: devices first, then the other sources"},

    {kEvents, L"DebugLog", 1, kMethod, {{L"logEntry", "in"}}, L"method DebugLog"},
    {kEvents, L"Progress", 2, kMethod, {{L"percent", "in"}}, L"method Progress"},
};
// clang-format on

// The type information that lists an interface's own members: the
// interface side of a dual interface, the dispinterface itself otherwise.
ComPtr<ITypeInfo> MemberInfo(ComPtr<ITypeInfo> info) {
  TYPEATTR* attr = nullptr;
  EXPECT_EQ(info->GetTypeAttr(&attr), S_OK);
  bool dual = (attr->wTypeFlags & TYPEFLAG_FDUAL) != 0;
  info->ReleaseTypeAttr(attr);
  if (!dual) return info;
  HREFTYPE ref = 0;
  ComPtr<ITypeInfo> vtable;
  EXPECT_EQ(info->GetRefTypeOfImplType(-1, &ref), S_OK);
  EXPECT_EQ(info->GetRefTypeInfo(ref, &vtable), S_OK);
  return vtable;
}

bool DirectionMatches(USHORT flags, const std::string& direction) {
  bool in = flags & PARAMFLAG_FIN, out = flags & PARAMFLAG_FOUT, retval = flags & PARAMFLAG_FRETVAL;
  if (direction == "in") return in && !out;
  if (direction == "out") return out && !in;
  if (direction == "retval") return out && retval && !in;
  if (direction == "inout") return in && out && !retval;
  return false;
}

TEST_F(TypeLib, MembersOfEveryInterface) {
  const wchar_t* current = nullptr;
  ComPtr<ITypeInfo> info;
  UINT index = 0, count = 0;
  auto finish = [&]() {
    if (current) {
      EXPECT_EQ(index, count) << "members beyond the table in " << Narrow(current);
    }
  };
  for (const MemberRow& row : kMembers) {
    if (row.iface != current) {
      finish();
      current = row.iface;
      info = MemberInfo(Entry(row.iface));
      ASSERT_TRUE(info);
      TYPEATTR* attr = nullptr;
      ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
      count = attr->cFuncs;
      info->ReleaseTypeAttr(attr);
      index = 0;
    }
    SCOPED_TRACE(Narrow(row.name));
    ASSERT_LT(index, count);
    FUNCDESC* func = nullptr;
    ASSERT_EQ(info->GetFuncDesc(index++, &func), S_OK);
    EXPECT_EQ(func->memid, row.id);
    EXPECT_EQ(func->invkind, row.kind);
    ASSERT_EQ(static_cast<size_t>(func->cParams), row.params.size());

    BSTR names[16] = {};
    UINT got = 0;
    ASSERT_EQ(info->GetNames(func->memid, names, 16, &got), S_OK);
    std::vector<Bstr> owned;
    for (UINT i = 0; i < got; ++i) owned.emplace_back().Reset(names[i]);
    ASSERT_GE(got, 1u);
    EXPECT_EQ(Text(owned[0]), row.name);
    for (size_t p = 0; p < row.params.size(); ++p) {
      const Param& param = row.params[p];
      EXPECT_TRUE(
          DirectionMatches(func->lprgelemdescParam[p].paramdesc.wParamFlags, param.direction))
          << "parameter " << p << " flags " << func->lprgelemdescParam[p].paramdesc.wParamFlags;
      if (!param.name) continue;
      ASSERT_LT(p + 1, got) << "parameter " << p << " has no name";
      EXPECT_EQ(Text(owned[p + 1]), param.name);
    }
    info->ReleaseFuncDesc(func);

    if (row.doc) {
      Bstr doc;
      ASSERT_EQ(info->GetDocumentation(row.id, nullptr, doc.Receive(), nullptr, nullptr), S_OK);
      EXPECT_EQ(Text(doc), row.doc);
    }
  }
  finish();
}

TEST_F(TypeLib, EventArgumentsAreStringAndFloat) {
  ComPtr<ITypeInfo> events = Entry(kEvents);
  ASSERT_TRUE(events);
  const VARTYPE expected[] = {VT_BSTR, VT_R4};
  for (UINT i = 0; i < 2; ++i) {
    FUNCDESC* func = nullptr;
    ASSERT_EQ(events->GetFuncDesc(i, &func), S_OK);
    ASSERT_EQ(func->cParams, 1);
    EXPECT_EQ(func->lprgelemdescParam[0].tdesc.vt, expected[i]);
    events->ReleaseFuncDesc(func);
  }
}

TEST_F(TypeLib, DualInterfacesDeriveFromStandardIDispatch) {
  for (const wchar_t* id : {kCtrl, kCollection, kFilter, kEnum, kLumora}) {
    ComPtr<ITypeInfo> vtable = MemberInfo(Entry(id));
    ASSERT_TRUE(vtable);
    HREFTYPE ref = 0;
    ComPtr<ITypeInfo> base;
    ASSERT_EQ(vtable->GetRefTypeOfImplType(0, &ref), S_OK);
    ASSERT_EQ(vtable->GetRefTypeInfo(ref, &base), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(base->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, IID_IDispatch));
    base->ReleaseTypeAttr(attr);
    ComPtr<ITypeLib> container;
    UINT index = 0;
    ASSERT_EQ(base->GetContainingTypeLib(&container, &index), S_OK);
    TLIBATTR* libAttr = nullptr;
    ASSERT_EQ(container->GetLibAttr(&libAttr), S_OK);
    EXPECT_TRUE(IsEqualGUID(libAttr->guid, Guid(L"{00020430-0000-0000-C000-000000000046}")))
        << "IDispatch comes from stdole2.tlb";
    container->ReleaseTLibAttr(libAttr);
  }
}

// Each second interface derives from the interface it extends, so the
// dispatch side of the derived one answers the old members' names too.
TEST_F(TypeLib, SecondInterfacesExtendTheFirst) {
  const struct {
    const wchar_t* derived;
    const wchar_t* base;
    const wchar_t* oldMember;
    DISPID oldId;
  } rows[] = {{kCtrl2, kCtrl, L"Prop", 5}, {kLumora2, kLumora, L"CamProperty", 8}};
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.derived));
    ComPtr<ITypeInfo> vtable = MemberInfo(Entry(row.derived));
    ASSERT_TRUE(vtable);
    HREFTYPE ref = 0;
    ComPtr<ITypeInfo> base;
    ASSERT_EQ(vtable->GetRefTypeOfImplType(0, &ref), S_OK);
    ASSERT_EQ(vtable->GetRefTypeInfo(ref, &base), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(base->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, Guid(row.base)));
    base->ReleaseTypeAttr(attr);
    ComPtr<ITypeInfo> dispatch = Entry(row.derived);
    LPOLESTR name = const_cast<LPOLESTR>(row.oldMember);
    MEMBERID id = DISPID_UNKNOWN;
    ASSERT_EQ(dispatch->GetIDsOfNames(&name, 1, &id), S_OK);
    EXPECT_EQ(id, row.oldId);
  }
}

TEST_F(TypeLib, ClassesNameTheirInterfaces) {
  struct Implemented {
    const wchar_t* coclass;
    const wchar_t* iface;
    int flags;
  };
  const Implemented rows[] = {
      {L"{BF8A8825-6A64-4CFD-B609-6B92EF6ABEBC}", kCtrl, IMPLTYPEFLAG_FDEFAULT},
      {L"{BF8A8825-6A64-4CFD-B609-6B92EF6ABEBC}", kEvents,
       IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE},
      {L"{BF8A8826-6A64-4CFD-B609-6B92EF6ABEBC}", kCollection, IMPLTYPEFLAG_FDEFAULT},
      {L"{BF8A8827-6A64-4CFD-B609-6B92EF6ABEBC}", kFilter, IMPLTYPEFLAG_FDEFAULT},
      {L"{BF8A8828-6A64-4CFD-B609-6B92EF6ABEBC}", kEnum, IMPLTYPEFLAG_FDEFAULT},
      {L"{C5C7547B-978B-4AD0-9414-268EE9E0940B}", kLumora, IMPLTYPEFLAG_FDEFAULT},
  };
  for (const Implemented& row : rows) {
    SCOPED_TRACE(Narrow(row.iface));
    ComPtr<ITypeInfo> coclass = Entry(row.coclass);
    ASSERT_TRUE(coclass);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
    UINT count = attr->cImplTypes;
    coclass->ReleaseTypeAttr(attr);
    bool found = false;
    for (UINT i = 0; i < count; ++i) {
      HREFTYPE ref = 0;
      ComPtr<ITypeInfo> implemented;
      ASSERT_EQ(coclass->GetRefTypeOfImplType(i, &ref), S_OK);
      ASSERT_EQ(coclass->GetRefTypeInfo(ref, &implemented), S_OK);
      ASSERT_EQ(implemented->GetTypeAttr(&attr), S_OK);
      bool match = IsEqualGUID(attr->guid, Guid(row.iface));
      implemented->ReleaseTypeAttr(attr);
      if (!match) continue;
      INT flags = 0;
      ASSERT_EQ(coclass->GetImplTypeFlags(i, &flags), S_OK);
      EXPECT_EQ(flags, row.flags);
      found = true;
    }
    EXPECT_TRUE(found);
  }
}

struct EnumValue {
  const wchar_t* name;
  LONG value;
};

void ExpectEnum(ComPtr<ITypeInfo> info, const std::vector<EnumValue>& values) {
  ASSERT_TRUE(info);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
  UINT count = attr->cVars;
  info->ReleaseTypeAttr(attr);
  ASSERT_EQ(count, values.size());
  for (UINT i = 0; i < count; ++i) {
    SCOPED_TRACE(Narrow(values[i].name));
    VARDESC* var = nullptr;
    ASSERT_EQ(info->GetVarDesc(i, &var), S_OK);
    ASSERT_EQ(var->varkind, VAR_CONST);
    VARIANT value;
    VariantInit(&value);
    EXPECT_EQ(VariantChangeType(&value, var->lpvarValue, 0, VT_I4), S_OK);
    EXPECT_EQ(value.lVal, values[i].value);
    Bstr name;
    UINT got = 0;
    EXPECT_EQ(info->GetNames(var->memid, name.Receive(), 1, &got), S_OK);
    EXPECT_EQ(Text(name), values[i].name);
    info->ReleaseVarDesc(var);
  }
}

TEST_F(TypeLib, EnumerationValues) {
  // clang-format off
  ExpectEnum(Entry(L"{2D10AD43-B7FD-43B3-9998-954E9BDC45A1}"),
             {{L"VCP_Brightness", 0},     {L"VCP_FirstElement", 0},
              {L"VCP_Contrast", 1},       {L"VCP_Hue", 2},
              {L"VCP_Saturation", 3},     {L"VCP_Sharpness", 4},
              {L"VCP_Gamma", 5},          {L"VCP_ColorEnable", 6},
              {L"VCP_WhiteBalance", 7},   {L"VCP_BacklightCompensation", 8},
              {L"VCP_WhiteBalanceMode", 9}, {L"VCP_WhiteBalRed", 10},
              {L"VCP_WhiteBalBlue", 11},  {L"VCP_FlickerFree", 12},
              {L"VCP_Flicker50_60", 13},  {L"VCP_FPS", 14},
              {L"VCP_Exposure", 15},      {L"VCP_Gain", 16},
              {L"VCP_FlipHorizontal", 17}, {L"VCP_FlipVertical", 18},
              {L"VCP_AutoExposure", 19},  {L"VCP_AutoAll", 20},
              {L"VCP_LastSetting", 20},   {L"VCP_ActualFrameRate", 21},
              {L"VCP_LED", 22},           {L"VCP_Setting", 23},
              {L"VCP_ExtTrigger", 24},    {L"VCP_SWTrigger", 25},
              {L"VCP_Pan", 26},           {L"VCP_Tilt", 27},
              {L"VCP_Roll", 28},          {L"VCP_Zoom", 29},
              {L"VCP_Iris", 30},          {L"VCP_CamExposure", 30},
              {L"VCP_Focus", 31},         {L"VCP_LastElement", 31}});
  // clang-format on
  ExpectEnum(Entry(L"{2D10AD42-B7FD-43B3-9998-954E9BDC45A1}"),
             {{L"VCS_no", 0}, {L"VCS_get", 1}, {L"VCS_set", 2}, {L"VCS_both", 3}});
  ExpectEnum(Entry(L"{2D10AD41-B7FD-43B3-9998-954E9BDC45A1}"), {{L"CSX_Unknown", 0},
                                                                {L"CSX_SAA8112", 1},
                                                                {L"CSX_SAA8116", 3},
                                                                {L"CSX_CREALIVEULTRA", 4},
                                                                {L"CSX_LOGIFUSION", 5}});
  ExpectEnum(Entry(L"{3E49878C-DC4D-4025-9C2E-C9F3E83AED43}"),
             {{L"VCM_Auto", 1}, {L"VCM_Manual", 2}});
  ExpectEnum(Entry(L"{2D10AD47-B7FD-43B3-9998-954E9BDC45A1}"), {{L"CGC_VideoCapture", 0},
                                                                {L"CGC_VideoCompressor", 1},
                                                                {L"CGC_AudioCompressor", 2},
                                                                {L"CGC_AudioCapture", 3},
                                                                {L"CGC_AudioRender", 4},
                                                                {L"CGC_DirectShowFilters", 5},
                                                                {L"CGC_MidiRenderer", 6},
                                                                {L"CGC_ExternalRenderers", 7},
                                                                {L"CGC_DeviceControlFilters", 8},
                                                                {L"CGC_ActiveMovie", 9},
                                                                {L"CGC_DVDHWDecoders", 10}});
}

}  // namespace
