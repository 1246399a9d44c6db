// Code-to-text tables for the laser's error and warning codes, and the container holding the
// table in force. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct TErrorCodeExplanation {
  std::int16_t Code = 0;
  std::string Explanation;  // UTF-8, shown to the operator
};

class TExplanationList {
 public:
  void Clear();
  // Replaces the text of the entry with this code, or appends one; returns its index.
  int SetExplanation(std::int16_t code, const std::string& text);
  int IndexOfCode(std::int16_t code) const;  // -1 if none
  int Count() const { return static_cast<int>(entries_.size()); }
  // The entry, or null for an index outside the list. Valid until the next Clear or load.
  const TErrorCodeExplanation* Items(int index) const;
  const TErrorCodeExplanation* FindExplanation(std::int16_t code) const;

  // Each clears the list, then loads its table.
  void LoadOlderGenerationErrors();  // 12 entries
  void LoadSingleBranchErrors();     // 18 entries
  void LoadGeneration3Errors();      // 33 entries
  void LoadGeneration3Warnings();    // 23 entries

 private:
  std::vector<std::unique_ptr<TErrorCodeExplanation>> entries_;
};
