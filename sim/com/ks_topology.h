// IKsTopologyInfo (vidcap.h of the Windows SDK, which mingw-w64 does not
// ship), declared here from the platform's documentation: the filter's
// topology nodes, their types, and the connections between them. The rig
// keeps its own declaration, as it keeps its own structures (sim/ks_layout.h).
#pragma once

#include <windows.h>
#include <ks.h>
#include <unknwn.h>

namespace lumora::sim {

// {720D4AC0-7533-11D0-A5D6-28DB04C10000}
constexpr IID kIidKsTopologyInfo = {
    0x720d4ac0, 0x7533, 0x11d0, {0xa5, 0xd6, 0x28, 0xdb, 0x04, 0xc1, 0x00, 0x00}};

struct IKsTopologyInfoRig : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_NumCategories(DWORD* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Category(DWORD index, GUID* category) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NumConnections(DWORD* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ConnectionInfo(DWORD index,
                                                       KSTOPOLOGY_CONNECTION* connection) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NodeName(DWORD nodeId, WCHAR* name, DWORD bufferSize,
                                                 DWORD* nameLength) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NumNodes(DWORD* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NodeType(DWORD nodeId, GUID* type) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateNodeInstance(DWORD nodeId, REFIID iid, void** out) = 0;
};

}  // namespace lumora::sim
