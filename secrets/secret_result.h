#pragma once

#include <optional>
#include <string>
#include <utility>

namespace quillmark::secrets {

// A value or the reason it could not be had: one line for the user, which
// never holds a secret. Nothing is thrown across the library's interface.
template <class T>
struct [[nodiscard]] SecretResult {
  std::optional<T> value;
  std::string error;

  bool ok() const { return value.has_value(); }

  static SecretResult Of(T value) { return {std::move(value), {}}; }
  static SecretResult Failed(std::string why) { return {std::nullopt, std::move(why)}; }
};

}  // namespace quillmark::secrets
