#pragma once
// How the request windows read a number typed into an edit: the one reader every typed number goes through.
#include "platform/typed_number.h"

namespace controller {

using platform::ReadNumberUpToOrRefuse;
using platform::ReadTypedNumber;
using platform::ReadTypedNumberOrRefuse;
using platform::ReadWholeNumber;
using platform::ReadWholeNumberOrRefuse;
using platform::TypedField;
using platform::TypedNumberRefusal;

}  // namespace controller
