// The rig's small files: the saved state on disk, read and replaced whole.
#include <cstdio>
#include <fstream>
#include <sstream>

#include "sim/rig_devices.h"

namespace lumora::sim {

bool ReadSmallFile(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream content;
  content << in.rdbuf();
  // A state file of a sane catalogue is a few kilobytes.
  if (!in.good() && !in.eof()) return false;
  std::string s = content.str();
  if (s.size() > (1u << 20)) return false;
  *text = std::move(s);
  return true;
}

bool LoadRigStateFile(const std::string& path, const std::vector<RigDevice>& devices) {
  std::string text;
  return ReadSmallFile(path, &text) && ApplyRigState(text, devices);
}

bool SaveRigStateFile(const std::string& path, const std::vector<RigDevice>& devices,
                      std::string* written) {
  const std::string temp = path + ".tmp";
  const std::string text = FormatRigState(devices);
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << text;
    out.flush();
    if (!out) {
      out.close();
      std::remove(temp.c_str());
      return false;
    }
  }
  // Windows' rename does not replace an existing file.
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(path.c_str());
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
      std::remove(temp.c_str());
      return false;
    }
  }
  if (written != nullptr) *written = text;
  return true;
}

}  // namespace lumora::sim
