#include "telephony/field_list_editing.h"

#include "telephony/ini_engine.h"

namespace telephony {

bool TFieldListEditing::Delete(int index) {
  if (index < 0 || index >= working_.Count()) return false;
  working_.Delete(index);
  return true;
}

bool TFieldListEditing::MoveUp(int index) {
  if (working_.Count() < 2 || index < 1 || index >= working_.Count()) return false;
  working_.Exchange(index, index - 1);
  return true;
}

bool TFieldListEditing::MoveDown(int index) {
  if (working_.Count() < 2 || index < 0 || index >= working_.Count() - 1) return false;
  working_.Exchange(index, index + 1);
  return true;
}

std::string TFieldListEditing::AcceptProblem() const {
  if (working_.HasIndexCandidate()) return "";
  return "You should create at least one string field of " + std::to_string(MaxIndexLen) + " characters or less";
}

}  // namespace telephony
