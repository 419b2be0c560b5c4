#include "nmlcorrelation/variant.h"

#include <cmath>
#include <cstring>

#include "common/number_text.h"

namespace nml {

Variant::Variant(std::string s) : kind_(VarKind::kText) { u_.text = new std::string(std::move(s)); }
Variant::Variant(Array<double> a) : kind_(VarKind::kDoubleArray) { u_.doubles = new Array<double>(std::move(a)); }
Variant::Variant(Array<Variant> a) : kind_(VarKind::kVariantArray) {
  u_.variants = new Array<Variant>(std::move(a));
}
Variant::Variant(ObjectRef o) : kind_(o ? VarKind::kObject : VarKind::kEmpty) {
  if (o)
    u_.object = new ObjectRef(std::move(o));
  else
    u_.d = 0;
}

Variant Variant::Integer(std::int16_t v) noexcept {
  Variant r;
  r.kind_ = VarKind::kInteger;
  r.u_.i16 = v;
  return r;
}
Variant Variant::Long(std::int32_t v) noexcept {
  Variant r;
  r.kind_ = VarKind::kLong;
  r.u_.i32 = v;
  return r;
}
Variant Variant::Boolean(bool v) noexcept {
  Variant r;
  r.kind_ = VarKind::kBoolean;
  r.u_.b = v;
  return r;
}
Variant Variant::Missing() noexcept {
  Variant r;
  r.kind_ = VarKind::kMissing;
  return r;
}
Variant Variant::ErrorValue(std::int32_t code) noexcept {
  Variant r;
  r.kind_ = VarKind::kErrorValue;
  r.u_.i32 = code;
  return r;
}

Variant::Variant(const Variant& other) : kind_(VarKind::kEmpty) { CopyFrom(other); }
Variant::Variant(Variant&& other) noexcept : u_(other.u_), kind_(other.kind_) {
  other.kind_ = VarKind::kEmpty;
  other.u_.d = 0;
}
Variant& Variant::operator=(const Variant& other) {
  if (this != &other) {
    Variant copy(other);
    *this = std::move(copy);
  }
  return *this;
}
Variant& Variant::operator=(Variant&& other) noexcept {
  if (this != &other) {
    Destroy();
    u_ = other.u_;
    kind_ = other.kind_;
    other.kind_ = VarKind::kEmpty;
    other.u_.d = 0;
  }
  return *this;
}
Variant::~Variant() { Destroy(); }

void Variant::Destroy() noexcept {
  switch (kind_) {
    case VarKind::kText: delete u_.text; break;
    case VarKind::kDoubleArray: delete u_.doubles; break;
    case VarKind::kVariantArray: delete u_.variants; break;
    case VarKind::kObject: delete u_.object; break;
    default: break;
  }
  kind_ = VarKind::kEmpty;
  u_.d = 0;
}

void Variant::CopyFrom(const Variant& other) {
  switch (other.kind_) {
    case VarKind::kText: u_.text = new std::string(*other.u_.text); break;
    case VarKind::kDoubleArray: u_.doubles = new Array<double>(*other.u_.doubles); break;
    case VarKind::kVariantArray: u_.variants = new Array<Variant>(*other.u_.variants); break;
    case VarKind::kObject: u_.object = new ObjectRef(*other.u_.object); break;
    default: u_ = other.u_; break;
  }
  kind_ = other.kind_;
}

std::int16_t Variant::AsInteger() const {
  if (kind_ != VarKind::kInteger) Raise(rt::kTypeMismatch);
  return u_.i16;
}
std::int32_t Variant::AsLong() const {
  if (kind_ != VarKind::kLong) Raise(rt::kTypeMismatch);
  return u_.i32;
}
double Variant::AsDouble() const {
  if (kind_ != VarKind::kDouble) Raise(rt::kTypeMismatch);
  return u_.d;
}
bool Variant::AsBoolean() const {
  if (kind_ != VarKind::kBoolean) Raise(rt::kTypeMismatch);
  return u_.b;
}
std::int32_t Variant::AsErrorValue() const {
  if (kind_ != VarKind::kErrorValue) Raise(rt::kTypeMismatch);
  return u_.i32;
}
const std::string& Variant::Text() const {
  if (kind_ != VarKind::kText) Raise(rt::kTypeMismatch);
  return *u_.text;
}
const Array<double>& Variant::Doubles() const {
  if (kind_ != VarKind::kDoubleArray) Raise(rt::kTypeMismatch);
  return *u_.doubles;
}
Array<double>& Variant::Doubles() {
  if (kind_ != VarKind::kDoubleArray) Raise(rt::kTypeMismatch);
  return *u_.doubles;
}
const Array<Variant>& Variant::Variants() const {
  if (kind_ != VarKind::kVariantArray) Raise(rt::kTypeMismatch);
  return *u_.variants;
}
Array<Variant>& Variant::Variants() {
  if (kind_ != VarKind::kVariantArray) Raise(rt::kTypeMismatch);
  return *u_.variants;
}
const ObjectRef& Variant::Object() const {
  if (kind_ == VarKind::kEmpty) Raise(rt::kObjectNotSet);
  if (kind_ != VarKind::kObject) Raise(rt::kTypeMismatch);
  return *u_.object;
}

double Variant::ToDouble() const {
  switch (kind_) {
    case VarKind::kEmpty: return 0.0;
    case VarKind::kInteger: return u_.i16;
    case VarKind::kLong: return u_.i32;
    case VarKind::kDouble: return u_.d;
    case VarKind::kBoolean: return u_.b ? -1.0 : 0.0;
    case VarKind::kText: {
      double v = 0;
      if (ReadNumber(*u_.text, v) != NumberRead::kNumber) Raise(rt::kTypeMismatch);
      return v;
    }
    default: Raise(rt::kTypeMismatch);
  }
}

std::string FormatNumber15(double d) { return NumberToText(d, 15); }

std::string Variant::ToText() const {
  switch (kind_) {
    case VarKind::kEmpty: return {};
    case VarKind::kInteger: return std::to_string(u_.i16);
    case VarKind::kLong: return std::to_string(u_.i32);
    case VarKind::kDouble: return FormatNumber15(u_.d);
    case VarKind::kBoolean: return u_.b ? "True" : "False";
    case VarKind::kText: return *u_.text;
    case VarKind::kErrorValue: return "Error " + std::to_string(u_.i32);
    default: Raise(rt::kTypeMismatch);
  }
}

bool operator==(const Variant& a, const Variant& b) {
  if (a.kind_ != b.kind_) return false;
  switch (a.kind_) {
    case VarKind::kEmpty:
    case VarKind::kMissing: return true;
    case VarKind::kInteger: return a.u_.i16 == b.u_.i16;
    case VarKind::kLong:
    case VarKind::kErrorValue: return a.u_.i32 == b.u_.i32;
    case VarKind::kDouble: return a.u_.d == b.u_.d;
    case VarKind::kBoolean: return a.u_.b == b.u_.b;
    case VarKind::kText: return *a.u_.text == *b.u_.text;
    case VarKind::kDoubleArray: return *a.u_.doubles == *b.u_.doubles;
    case VarKind::kVariantArray: return *a.u_.variants == *b.u_.variants;
    case VarKind::kObject: return *a.u_.object == *b.u_.object;
  }
  return false;
}

static_assert(sizeof(Variant) <= 16, "Variant must stay compact");

}  // namespace nml
