// 1-based arrays of one or two dimensions with value semantics.
//
// Storage is column-major (element (i, j) of an r-row matrix sits at
// (i - 1) + (j - 1) * r), so a matrix can be handed to linear-algebra code
// without copying. An array starts unallocated; counts are taken from the
// upper bounds. Element access is bounds-checked and raises the runtime's
// "Subscript out of range" error (9), never undefined behaviour.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "nmlcorrelation/error.h"

namespace nml {

namespace detail {

/// An allocator whose elements start default-initialised: numbers left as
/// they are rather than zeroed, so that a result about to be overwritten
/// whole is not written twice.
template <class T>
struct DefaultInitAllocator : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = DefaultInitAllocator<U>;
  };
  DefaultInitAllocator() = default;
  template <class U>
  DefaultInitAllocator(const DefaultInitAllocator<U>&) noexcept {}
  template <class U>
  void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

}  // namespace detail

template <class T>
class Array {
 public:
  Array() = default;

  /// A one-dimensional array 1..n (n may be 0: allocated but empty).
  static Array Vector(std::int32_t n) {
    Array a;
    a.Redim(n);
    return a;
  }
  /// A two-dimensional array (1..rows, 1..cols).
  static Array Matrix(std::int32_t rows, std::int32_t cols) {
    Array a;
    a.Redim(rows, cols);
    return a;
  }
  /// A two-dimensional array whose numbers are not set: for results that the
  /// caller overwrites completely before anyone reads them.
  static Array Unset(std::int32_t rows, std::int32_t cols) {
    static_assert(std::is_trivially_default_constructible_v<T>, "only for plain numbers");
    Array a;
    CheckCount(rows);
    CheckCount(cols);
    a.data_.resize(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols));
    a.rank_ = 2;
    a.ub1_ = rows;
    a.ub2_ = cols;
    return a;
  }

  bool Allocated() const { return rank_ != 0; }
  int Rank() const { return rank_; }
  /// Upper bound of dimension 1 or 2; raises 9 for a dimension the array lacks.
  std::int32_t UBound(int dim = 1) const {
    if (dim == 1 && rank_ >= 1) return ub1_;
    if (dim == 2 && rank_ == 2) return ub2_;
    Raise(rt::kSubscriptOutOfRange);
  }
  std::int32_t Rows() const { return rank_ >= 1 ? ub1_ : 0; }
  std::int32_t Cols() const { return rank_ == 2 ? ub2_ : (rank_ == 1 ? 1 : 0); }
  std::size_t Size() const { return data_.size(); }

  void Redim(std::int32_t n) {
    CheckCount(n);
    data_.assign(static_cast<std::size_t>(n), T{});
    rank_ = 1;
    ub1_ = n;
    ub2_ = 0;
  }
  void Redim(std::int32_t rows, std::int32_t cols) {
    CheckCount(rows);
    CheckCount(cols);
    data_.assign(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols), T{});
    rank_ = 2;
    ub1_ = rows;
    ub2_ = cols;
  }
  /// One-dimensional resize keeping the first min(old, n) elements.
  void RedimPreserve(std::int32_t n) {
    if (rank_ != 1) Raise(rt::kSubscriptOutOfRange);
    CheckCount(n);
    data_.resize(static_cast<std::size_t>(n), T{});
    ub1_ = n;
  }
  /// Two-dimensional resize keeping every element that stays inside the bounds.
  void RedimPreserve(std::int32_t rows, std::int32_t cols) {
    if (rank_ != 2) Raise(rt::kSubscriptOutOfRange);
    CheckCount(rows);
    CheckCount(cols);
    if (rows == ub1_) {
      data_.resize(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols), T{});
    } else {
      Storage next(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols), T{});
      const std::int32_t keepRows = rows < ub1_ ? rows : ub1_;
      const std::int32_t keepCols = cols < ub2_ ? cols : ub2_;
      for (std::int32_t j = 0; j < keepCols; ++j)
        for (std::int32_t i = 0; i < keepRows; ++i)
          next[static_cast<std::size_t>(i) + static_cast<std::size_t>(j) * rows] =
              std::move(data_[static_cast<std::size_t>(i) + static_cast<std::size_t>(j) * ub1_]);
      data_ = std::move(next);
    }
    ub1_ = rows;
    ub2_ = cols;
  }
  void Erase() {
    data_.clear();
    data_.shrink_to_fit();
    rank_ = 0;
    ub1_ = ub2_ = 0;
  }

  T& operator()(std::int32_t i) { return data_[Index(i)]; }
  const T& operator()(std::int32_t i) const { return data_[Index(i)]; }
  T& operator()(std::int32_t i, std::int32_t j) { return data_[Index(i, j)]; }
  const T& operator()(std::int32_t i, std::int32_t j) const { return data_[Index(i, j)]; }

  /// Raw column-major storage for bulk work.
  T* Data() { return data_.data(); }
  const T* Data() const { return data_.data(); }
  /// Start of column j (1-based) of a two-dimensional array.
  T* Column(std::int32_t j) { return data_.data() + Index(1, j); }
  const T* Column(std::int32_t j) const { return data_.data() + Index(1, j); }

  friend bool operator==(const Array& a, const Array& b) {
    return a.rank_ == b.rank_ && a.ub1_ == b.ub1_ && a.ub2_ == b.ub2_ && a.data_ == b.data_;
  }

 private:
  static void CheckCount(std::int32_t n) {
    if (n < 0) Raise(rt::kSubscriptOutOfRange);
  }
  std::size_t Index(std::int32_t i) const {
    if (rank_ != 1 || i < 1 || i > ub1_) Raise(rt::kSubscriptOutOfRange);
    return static_cast<std::size_t>(i - 1);
  }
  std::size_t Index(std::int32_t i, std::int32_t j) const {
    if (rank_ != 2 || i < 1 || i > ub1_ || j < 1 || j > ub2_) Raise(rt::kSubscriptOutOfRange);
    return static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(ub1_);
  }

  using Storage = std::vector<T, detail::DefaultInitAllocator<T>>;
  Storage data_;
  int rank_ = 0;
  std::int32_t ub1_ = 0;
  std::int32_t ub2_ = 0;
};

/// A matrix of doubles, the engine's working type.
using Matrix = Array<double>;

}  // namespace nml
