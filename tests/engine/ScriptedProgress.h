#pragma once
// A progress reporter for tests: requests cancel at a chosen call, answers
// questions from a script and records everything it was told.

#include <string>
#include <vector>

#include "engine/ProgressReporter.h"

class ScriptedProgress : public SilentProgress {
 public:
  // Cancel is requested on the cancelAt-th call of CancelRequested (1-based; 0 = never).
  int cancelAt = 0;
  bool answer = true;  // answer to every question
  int cancelQueries = 0;
  std::vector<std::string> stages;
  std::vector<std::string> questions;
  std::vector<std::string> messages;

  void ShowStage(const std::string& text) override {
    SilentProgress::ShowStage(text);
    if (!text.empty()) stages.push_back(text);
  }
  bool CancelRequested() override { return ++cancelQueries == cancelAt; }
  bool AskYesNo(Question, const std::string& text, const std::string& caption, Icon) override {
    questions.push_back(caption + "|" + text);
    return answer;
  }
  void ShowMessage(const std::string& text, const std::string& caption, Icon) override {
    messages.push_back(caption + "|" + text);
  }
};
