#pragma once

#include <optional>
#include <string>
#include <vector>

// The library path of an installed Delphi 4 or 5 IDE, read from the registry.

// What GetDelphiLibraryPath asks of the user. The GUI answers with its dialog
// and a message box; the command line and tests with given answers.
class TLibraryPathPrompt {
 public:
  virtual ~TLibraryPathPrompt() = default;
  // The Delphi version to use, proposed first; nullopt when the user cancels.
  virtual std::optional<std::string> AskDelphiVersion(const std::string& proposed) = 0;
  virtual void ShowMessage(const std::string& text) = 0;
};

// Answers every question with a version given in advance (or cancels when
// there is none) and keeps the messages it was shown.
class TFixedLibraryPathPrompt : public TLibraryPathPrompt {
 public:
  explicit TFixedLibraryPathPrompt(std::optional<std::string> answer) : Answer(std::move(answer)) {}
  std::optional<std::string> AskDelphiVersion(const std::string& proposed) override;
  void ShowMessage(const std::string& text) override;

  std::optional<std::string> Answer;
  std::vector<std::string> Proposals;  // every version proposed, in order
  std::vector<std::string> Messages;   // every message shown, in order
};

inline constexpr const char* UnsupportedDelphiVersionMessage =
    "Only 4 and 5 supported at this time for automated library path extraction";

// Asks for the Delphi version (proposing proposedVersion), then returns the
// directories of that IDE's library search path that exist, in their order,
// with "$(DELPHI)" replaced by the IDE's root directory and letters upper-cased
// as the registry spelled them. nullopt when the user cancels or names a
// version other than "4" or "5" (then with a message). Missing keys give an
// empty list. Throws TError when a value read is not a string.
std::optional<std::vector<std::string>> GetDelphiLibraryPath(const std::string& proposedVersion,
                                                             TLibraryPathPrompt& prompt);
