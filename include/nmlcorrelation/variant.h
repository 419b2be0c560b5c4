// Variant: the tagged value that crosses every interface of the component.
//
// Kinds: empty, 16-bit and 32-bit integers, Double, text, Boolean, an object
// reference, the argument-not-given marker, a spreadsheet error value (a cell
// holding #N/A and the like), an array of Double and an array of variants.
// A Variant is 16 bytes: scalars are held inline, text and arrays on the heap.
// Copying a Variant copies its text or array; object references are shared.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "nmlcorrelation/array.h"
#include "nmlcorrelation/error.h"
#include "nmlcorrelation/export.h"

namespace nml {

/// Base of everything a Variant can reference (ranges, worksheets, ...).
class NML_API Object {
 public:
  virtual ~Object() = default;
};
using ObjectRef = std::shared_ptr<Object>;

enum class VarKind : std::uint8_t {
  kEmpty,
  kInteger,  // 16-bit signed
  kLong,     // 32-bit signed
  kDouble,
  kText,
  kBoolean,
  kObject,
  kMissing,  // argument not given
  kErrorValue,
  kDoubleArray,
  kVariantArray,
};

class NML_API Variant {
 public:
  Variant() noexcept : kind_(VarKind::kEmpty) { u_.d = 0; }
  Variant(double d) noexcept : kind_(VarKind::kDouble) { u_.d = d; }
  Variant(std::string s);
  Variant(std::string_view s) : Variant(std::string(s)) {}
  Variant(const char* s) : Variant(std::string(s)) {}
  Variant(Array<double> a);
  Variant(Array<Variant> a);
  Variant(ObjectRef o);

  static Variant Integer(std::int16_t v) noexcept;
  static Variant Long(std::int32_t v) noexcept;
  static Variant Boolean(bool v) noexcept;
  static Variant Missing() noexcept;
  /// A spreadsheet error value; code as the spreadsheet numbers them (2042 = #N/A).
  static Variant ErrorValue(std::int32_t code) noexcept;

  Variant(const Variant& other);
  Variant(Variant&& other) noexcept;
  Variant& operator=(const Variant& other);
  Variant& operator=(Variant&& other) noexcept;
  ~Variant();

  VarKind Kind() const noexcept { return kind_; }
  bool IsEmpty() const noexcept { return kind_ == VarKind::kEmpty; }
  bool IsMissing() const noexcept { return kind_ == VarKind::kMissing; }
  bool IsText() const noexcept { return kind_ == VarKind::kText; }
  bool IsObject() const noexcept { return kind_ == VarKind::kObject; }
  bool IsArray() const noexcept { return kind_ == VarKind::kDoubleArray || kind_ == VarKind::kVariantArray; }
  /// Integer, Long or Double (not Boolean, not numeric text).
  bool IsNumber() const noexcept {
    return kind_ == VarKind::kInteger || kind_ == VarKind::kLong || kind_ == VarKind::kDouble;
  }

  // Exact accessors: raise Type mismatch (13) when the kind differs.
  std::int16_t AsInteger() const;
  std::int32_t AsLong() const;
  double AsDouble() const;
  bool AsBoolean() const;
  std::int32_t AsErrorValue() const;
  const std::string& Text() const;
  const Array<double>& Doubles() const;
  Array<double>& Doubles();
  const Array<Variant>& Variants() const;
  Array<Variant>& Variants();
  const ObjectRef& Object() const;
  /// The referenced object as T; raises 91 when empty, 13 when of another type.
  template <class T>
  std::shared_ptr<T> ObjectAs() const {
    if (kind_ == VarKind::kEmpty) Raise(rt::kObjectNotSet);
    auto p = std::dynamic_pointer_cast<T>(Object());
    if (!p) Raise(rt::kTypeMismatch);
    return p;
  }

  // Coercions as a late-binding caller expects.
  /// Numbers as they are, Boolean true -1 / false 0, empty 0, numeric text
  /// parsed in the C locale; anything else raises 13.
  double ToDouble() const;
  /// Text form: numbers with up to 15 significant digits, "True"/"False",
  /// empty as ""; arrays, objects and the missing marker raise 13.
  std::string ToText() const;

  /// Same kind and same value (arrays element by element).
  friend bool operator==(const Variant& a, const Variant& b);

 private:
  void Destroy() noexcept;
  void CopyFrom(const Variant& other);

  union Payload {
    std::int16_t i16;
    std::int32_t i32;
    double d;
    bool b;
    std::string* text;
    Array<double>* doubles;
    Array<Variant>* variants;
    ObjectRef* object;
  } u_;
  VarKind kind_;
};

/// Shortest text of d with at most 15 significant digits, as the classic
/// runtime converts a Double to text ("0.1", "1E-05", "1.23456789012346E+17").
NML_API std::string FormatNumber15(double d);

}  // namespace nml
