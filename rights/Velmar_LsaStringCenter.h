// One text in two forms: ANSI text for the program, and the platform's
// LSA_UNICODE_STRING for the LSA policy functions. Each form is computed from
// the other on first demand; the holder owns the memory of the LSA form.
#pragma once

#include <string>

#include "base/Velmar_Component.h"
#include "platform/win32api.h"

class TvmLsaUnicodeStringCenter : public TComponent {
 public:
  explicit TvmLsaUnicodeStringCenter(TComponent* owner = nullptr);
  ~TvmLsaUnicodeStringCenter() override;

  // The text in the system's ANSI code page. A text longer than an LSA
  // string can hold (32,767 UTF-16 units) is stored, but reading Value for
  // it raises EConvertError.
  std::string Text();
  void SetText(const std::string& text);

  // The LSA form: one block holding the header and the UTF-16 characters
  // followed by one zero unit (not counted in Length or MaximumLength).
  // Null after SetValue(nullptr). The pointer stays valid until the next
  // SetText or SetValue and the holder's destruction; reading again gives
  // the same pointer.
  PLSA_UNICODE_STRING Value();
  // Takes a copy of a foreign LSA string (CopyLsaUnicodeString); the holder
  // keeps no reference to it. Null means no string.
  void SetValue(const LSA_UNICODE_STRING* value);

 private:
  void ReleaseBlock();
  void BuildBlock();

  bool textValid_ = true;
  std::string text_;
  bool valueValid_ = false;
  PLSA_UNICODE_STRING block_ = nullptr;
};
