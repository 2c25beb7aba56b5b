// The fields of a named control: checking a definition against the device's
// control, decoding a field from the control's bytes, and writing one field
// by read-modify-write so that every other byte and bit keeps its value.
// Bits are numbered little-endian as UVC lays out its values: bit 0 is the
// lowest bit of byte 0.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "xu/definitions.h"
#include "xu/discovery.h"

namespace lumora::xu {

// A boolean field's text: "on", "true" or "1"; "off", "false" or "0" (the
// words without regard to case); nullopt for anything else.
std::optional<bool> ParseSwitchText(const std::string& text);

// "" when the definition fits the device's control; otherwise why it does
// not (a field beyond the control's length, another length than the
// source gives), naming the definition's file and line. A definition that
// does not fit is not used; the raw control stays usable.
std::string CheckAgainstDevice(const ControlDefinition& definition, uint32_t length);

// The bits [start, start + bits) of a value, bits <= 64, all inside it.
uint64_t ExtractBits(const Bytes& value, uint64_t start, uint32_t bits);
// Replaces those bits, keeping every other bit.
void InsertBits(Bytes* value, uint64_t start, uint32_t bits, uint64_t field);

// A numeric field's value (integer, boolean, menu), sign-extended when
// signed; nullopt for a raw field or a field beyond the value.
std::optional<int64_t> FieldNumber(const FieldDefinition& field, const Bytes& control);

struct FieldRange {
  int64_t min = 0;
  int64_t max = 0;
};
// The values an integer field accepts: its definition's, or the field's
// bits of the device's minimum and maximum (when the device gives them and
// they are in order), or else what its width holds.
FieldRange RangeOf(const FieldDefinition& field, const ControlFacts& facts);

// The field as text: a number, "on"/"off", a menu label (or the number of a
// value the menu does not name), or the raw bytes as hex digits. "" for a
// field beyond the value.
std::string FormatField(const FieldDefinition& field, const Bytes& control);

// Parses `text` for the field, checks it against RangeOf, and puts it into
// `control` (the control's current bytes). On any error `control` is left
// as it was.
Status EncodeField(const FieldDefinition& field, const ControlFacts& facts, const std::string& text,
                   Bytes* control);

// Reads the control and decodes the field.
Status ReadField(XuTransport& transport, uint32_t nodeId, const ControlDefinition& definition,
                 size_t field, const ControlFacts& facts, std::string* text);

// Writes one field: the control is read (an action starts from zero
// bytes instead), the field changed, and the whole control written
// back. Everything is checked before the write: the definition against the
// device, read-only fields and controls, and the value against its range.
Status WriteField(XuTransport& transport, uint32_t nodeId, const ControlDefinition& definition,
                  size_t field, const ControlFacts& facts, const std::string& text);

}  // namespace lumora::xu
