#pragma once
// What the phone book's dialog components share: a link to a phone book, made at creation to the first one
// on the owner and kept up as phone books come and go, and the phone book held open while a window shows.
#include <string>

#include "tk/component.h"
#include "tk/property.h"

namespace telephony {

class TLkPhonebook;

class TLkPhonebookDialog : public tk::Component {
 public:
  explicit TLkPhonebookDialog(tk::Component* owner);
  std::string ClassName() const override { return "TLkPhonebookDialog"; }

  std::string Version() const { return "v3.03"; }
  void SetVersion(const std::string&) {}
  TLkPhonebook* Phonebook() const { return phonebook_; }
  void SetPhonebook(TLkPhonebook* phonebook);

  // Shows the dialog's window modally.
  virtual bool Execute() = 0;

  void Notification(tk::Component* component, tk::Operation operation) override;
  void GetProperties(tk::PropertyList& list) const override;

 protected:
  // Raises EPhonebookNotAssigned without a phone book.
  TLkPhonebook& RequirePhonebook() const;

  // Opens the phone book for its life and closes it again if it was closed before.
  class OpenWhileShown {
   public:
    explicit OpenWhileShown(TLkPhonebook& phonebook);
    ~OpenWhileShown();
    OpenWhileShown(const OpenWhileShown&) = delete;
    OpenWhileShown& operator=(const OpenWhileShown&) = delete;

   private:
    TLkPhonebook& phonebook_;
    bool wasOpen_;
  };

 private:
  tk::ComponentRef PhonebookRef() const;
  void SetPhonebookRef(tk::ComponentRef ref);

  TLkPhonebook* phonebook_ = nullptr;
};

}  // namespace telephony
