#pragma once
// What the "Database Fields" window does, without the window: a working copy of a field list that is
// edited, reordered and, on OK, copied back over the caller's list.
#include <string>

#include "telephony/db_field_list.h"

namespace telephony {

class TFieldListEditing {
 public:
  explicit TFieldListEditing(const TDBFieldList& list) : working_(list) {}

  const TDBFieldList& Working() const { return working_; }
  TDBFieldList& Working() { return working_; }

  void Append(const TDBFieldInfo& field) { working_.Add(field); }
  // Each returns false, changing nothing, when the index names no field or the field cannot move that way.
  bool Delete(int index);
  bool MoveUp(int index);
  bool MoveDown(int index);

  // Why OK is refused ("" when it is not): no string field that could be the index.
  std::string AcceptProblem() const;
  // Copies of the working fields, in order, in place of the target's.
  void AcceptInto(TDBFieldList& target) const { target = working_; }

 private:
  TDBFieldList working_;
};

}  // namespace telephony
