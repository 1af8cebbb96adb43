// A flag set, or a depth counted, for as long as the guard lives.
#pragma once

namespace zeb {

class ScopedFlag {
 public:
  explicit ScopedFlag(bool& flag) : flag_(flag) { flag_ = true; }
  ~ScopedFlag() { flag_ = false; }
  ScopedFlag(const ScopedFlag&) = delete;
  ScopedFlag& operator=(const ScopedFlag&) = delete;

 private:
  bool& flag_;
};

class ScopedDepth {
 public:
  explicit ScopedDepth(int& depth) : depth_(depth) { ++depth_; }
  ~ScopedDepth() { --depth_; }
  ScopedDepth(const ScopedDepth&) = delete;
  ScopedDepth& operator=(const ScopedDepth&) = delete;

 private:
  int& depth_;
};

}  // namespace zeb
