#pragma once

// The value that late-bound access to the control passes and returns: empty,
// a boolean, a 16- or 32-bit integer, a double, a text or an array of bytes.
// Arguments are coerced to a member's parameter type the way an automation
// host does it.

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace rssvane {

class Variant {
 public:
  enum class Type : uint8_t { kEmpty, kBool, kInt16, kInt32, kDouble, kText, kBytes };

  Variant() = default;
  Variant(bool value) : value_(value) {}
  Variant(int16_t value) : value_(value) {}
  Variant(int32_t value) : value_(value) {}
  Variant(double value) : value_(value) {}
  Variant(std::u16string value) : value_(std::move(value)) {}
  Variant(std::u16string_view value) : value_(std::u16string(value)) {}
  Variant(const char16_t* value) : value_(std::u16string(value)) {}
  Variant(std::vector<uint8_t> bytes) : value_(std::move(bytes)) {}
  // Narrow text would otherwise quietly become a boolean.
  Variant(const char*) = delete;

  Type GetType() const noexcept { return static_cast<Type>(value_.index()); }
  bool IsEmpty() const noexcept { return GetType() == Type::kEmpty; }
  // The stored value; only valid for the matching type.
  bool Bool() const { return std::get<bool>(value_); }
  int16_t Int16() const { return std::get<int16_t>(value_); }
  int32_t Int32() const { return std::get<int32_t>(value_); }
  double Double() const { return std::get<double>(value_); }
  const std::u16string& Text() const { return std::get<std::u16string>(value_); }
  const std::vector<uint8_t>& Bytes() const { return std::get<std::vector<uint8_t>>(value_); }

  // Coercions: 0, or the HRESULT of "Type mismatch." or "Overflow.". Empty
  // becomes false, 0 or empty text; true is -1 as a number and "True" as text;
  // text is read as a number (or "True"/"False" as a boolean); doubles round
  // half to even; bytes coerce to nothing else.
  uint32_t ToBool(bool& out) const noexcept;
  uint32_t ToInt16(int16_t& out) const noexcept;
  uint32_t ToInt32(int32_t& out) const noexcept;
  uint32_t ToText(std::u16string& out) const;

  bool operator==(const Variant& other) const noexcept { return value_ == other.value_; }

 private:
  std::variant<std::monostate, bool, int16_t, int32_t, double, std::u16string, std::vector<uint8_t>> value_;
};

}  // namespace rssvane
