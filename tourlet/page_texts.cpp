#include "page_texts.h"

#include <array>

namespace tourlet {

const std::wstring& PageText(int page) {
    static const std::array<std::wstring, kPageCount> pages{
        L"Welcome to Pelmor's VARNOK, the solution for small business,\n"
        L"distributors and manufacturers.\n"
        L"\n"
        L"As part of this special single-user version of Pelmor's VARNOK,\n"
        L"you are entitled to submit 5 support questions via email at no\n"
        L"charge within the first 30 days from product shipment.\n"
        L"\n"
        L"Support questions submitted after that will cost $20.00 US, paid\n"
        L"in advance by credit card.\n"
        L"\n"
        L"All VARNOK inquires should be sent to:\n"
        L"\n"
        L"                    support@pelmor.example.",

        L"Please register your copy of Pelmor's VARNOK within 30 days.\n"
        L"Registered users receive product updates, news of new\n"
        L"releases and the support terms described on the previous page.\n"
        L"\n"
        L"This single-user version is licensed for use on one computer\n"
        L"by one person at a time. The licence agreement is installed\n"
        L"with the product; please read it before you use VARNOK.\n"
        L"\n"
        L"To register, fill in the registration card packed with the CD\n"
        L"or choose Register from the VARNOK Help menu.",

        L"All documentation, in Microsoft Word format, will be installed on\n"
        L"your computer with shortcuts placed on your Desktop and\n"
        L"Programs menu.\n"
        L"\n"
        L"The VARNOK documentation set includes: User Guide, Guided\n"
        L"Tour, and Workshops for VARNOK's primary functions\n"
        L"\n"
        L"Please feel free to print these documents and use them to learn\n"
        L"the powerful features and benefits of Pelmor's VARNOK.\n"
        L"\n\n\n\n\n"
        L"Note: Shortcuts are placed on your Desktop for your\n"
        L"convenience.  Please feel free to delete any or all of them.",
    };
    return pages.at(static_cast<size_t>(page));
}

}  // namespace tourlet
