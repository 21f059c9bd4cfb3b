// Linked into the deliverables only: the C++ runtime's error helpers, which the standard
// containers and strings call when asked for more than they can hold (length), for a
// position past the end (out of range) or to build from a null pointer (logic).
//
// The runtime's own helpers throw std::length_error and its kin, whose messages live in
// the runtime's older reference-counted string: that string's code, its error classes and
// their unwind tables are about a sixth of each deliverable, for errors no caller handles
// by type. Here each one is reported as an allocation failure, which every caller already
// turns into a failed result (and which COM methods and window procedures already stop).
// Defining all of them keeps the runtime's own file of helpers out of the link entirely.
#include <exception>
#include <new>
#include <typeinfo>

namespace std {

void __throw_bad_alloc() {
    throw bad_alloc();
}
void __throw_bad_array_new_length() {
    throw bad_array_new_length();
}
void __throw_bad_cast() {
    throw bad_cast();
}
void __throw_bad_typeid() {
    throw bad_typeid();
}
void __throw_bad_exception() {
    throw bad_exception();
}
void __throw_logic_error(const char*) {
    throw bad_alloc();
}
void __throw_domain_error(const char*) {
    throw bad_alloc();
}
void __throw_invalid_argument(const char*) {
    throw bad_alloc();
}
void __throw_length_error(const char*) {
    throw bad_alloc();
}
void __throw_out_of_range(const char*) {
    throw bad_alloc();
}
void __throw_out_of_range_fmt(const char*, ...) {
    throw bad_alloc();
}
void __throw_runtime_error(const char*) {
    throw bad_alloc();
}
void __throw_range_error(const char*) {
    throw bad_alloc();
}
void __throw_overflow_error(const char*) {
    throw bad_alloc();
}
void __throw_underflow_error(const char*) {
    throw bad_alloc();
}

}  // namespace std
