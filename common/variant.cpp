#include "nmlcorrelation/variant.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

namespace {

bool ParseNumber(const std::string& s, double& out) {
  const char* begin = s.c_str();
  while (*begin == ' ' || *begin == '\t') ++begin;
  if (*begin == '\0') return false;
  // Only plain decimal notation: no hex floats, no "inf" or "nan" words.
  for (const char* p = begin; *p; ++p) {
    const char c = *p;
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E' || c == ' ' ||
          c == '\t'))
      return false;
  }
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(begin, &end);
  if (end == begin || errno == ERANGE) return false;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end != '\0' || !std::isfinite(v)) return false;
  out = v;
  return true;
}

}  // namespace

double Variant::ToDouble() const {
  switch (kind_) {
    case VarKind::kEmpty: return 0.0;
    case VarKind::kInteger: return u_.i16;
    case VarKind::kLong: return u_.i32;
    case VarKind::kDouble: return u_.d;
    case VarKind::kBoolean: return u_.b ? -1.0 : 0.0;
    case VarKind::kText: {
      double v = 0;
      if (!ParseNumber(*u_.text, v)) Raise(rt::kTypeMismatch);
      return v;
    }
    default: Raise(rt::kTypeMismatch);
  }
}

std::string FormatNumber15(double d) {
  if (d == 0) return "0";
  if (!std::isfinite(d)) return std::isnan(d) ? "NaN" : (d > 0 ? "Infinity" : "-Infinity");
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15G", d);
  std::string s(buf);
  const auto epos = s.find('E');
  std::string mant = epos == std::string::npos ? s : s.substr(0, epos);
  std::string exp = epos == std::string::npos ? "" : s.substr(epos + 1);
  if (mant.find('.') != std::string::npos) {
    while (!mant.empty() && mant.back() == '0') mant.pop_back();
    if (!mant.empty() && mant.back() == '.') mant.pop_back();
  }
  if (exp.empty()) return mant;
  // "%G" switches to exponent form below 1E-4, as the classic runtime does from
  // 1E-05 down; keep two exponent digits with an explicit sign.
  const int e = std::atoi(exp.c_str());
  char ebuf[16];
  std::snprintf(ebuf, sizeof ebuf, "E%c%02d", e < 0 ? '-' : '+', e < 0 ? -e : e);
  return mant + ebuf;
}

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
