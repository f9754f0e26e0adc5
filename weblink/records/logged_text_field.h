#pragma once
// Stores a UTF-8 text in a record's wide field and logs both forms under the
// calling builder's name: ">strMeetId [...]" and ">pConfig->MeetId [...]".
// A macro, so that the lines carry the builder's own name and line.
#include <string>

#include "common/string_helpers.h"
#include "common/trace_client.h"
#include "weblink/records/token_mask.h"
#include "weblink/records/wide_field.h"

#define VZ_STORE_LOGGED_TEXT(text, config, Field)                          \
  do {                                                                     \
    const std::string& vz_text = (text);                                   \
    VZ_LOG("str" #Field " [%s]", vz_text.c_str());                         \
    StoreWideField((config)->Field, vz_text, #Field);                      \
    VZ_LOG("pConfig->" #Field " [%s]", WideToNarrow((config)->Field).c_str()); \
  } while (0)

// The same for a session token: stored whole, logged masked.
#define VZ_STORE_LOGGED_TOKEN(text, config, Field)                          \
  do {                                                                      \
    const std::string& vz_text = (text);                                    \
    VZ_LOG("str" #Field " [%s]", MaskedToken(std::string_view(vz_text)).c_str()); \
    StoreWideField((config)->Field, vz_text, #Field);                       \
    VZ_LOG("pConfig->" #Field " [%s]", MaskedToken((config)->Field).c_str()); \
  } while (0)
