// The product's names, once for the programs' code and their resource scripts alike.
#pragma once

#define VARNOK_PRODUCT_NAME "Pelmor's VARNOK"
#define VARNOK_COMPANY_NAME "Pelmor Systems, Inc."
#define VARNOK_COPYRIGHT "Copyright (C) 2000 Pelmor Systems, Inc."

#ifndef RC_INVOKED
namespace launcher {

// The title of the programs' own message boxes.
inline constexpr const wchar_t* kProgramTitle = L"" VARNOK_PRODUCT_NAME;

}  // namespace launcher
#endif
