// The commission keys: the list "Liste der Provisionsschlüssel" over VOQProvKey and the form of
// one key, whose employee, platform, shop and product group are chosen from the ERP's tables.
#pragma once

#include <string>
#include <string_view>

// The list; the frame starts it on a thread of its own.
void BrowseProvKey();
// The form, in the request the list set.
void EditProvKey();

// The key text: employee and platform, then the shop when one is set, otherwise the product
// group when one is set; without separators, cut to 120 characters.
std::string ProvisionsKey(std::string_view employee, std::string_view platform, std::string_view shop,
                          std::string_view productGroup);

// The statements that fill the form's drop lists. The employees always come from the ERP's
// central database, whatever the client's database is called.
inline constexpr const char* kEmployeeStatement = "SELECT cName FROM EAZYBUSINESS.dbo.tBenutzer";
inline constexpr const char* kPlatformStatement = "SELECT cName FROM tPlattform";
inline constexpr const char* kShopStatement = "SELECT cName FROM tShop";
inline constexpr const char* kProductGroupStatement = "SELECT cName FROM tWarengruppe";

// Controls (for tests through the display).
namespace provkey {
enum ListControl {
    Sheet = 1,
    TabId,
    TabKey,
    List,
    Insert,
    Change,
    Delete,
    Close,
};
enum FormControl {
    FormSheet = 20,
    FormTab,
    IdPrompt,
    Id,
    EmployeePrompt,
    Employee,
    PlatformPrompt,
    Platform,
    ShopPrompt,
    Shop,
    ProductGroupPrompt,
    ProductGroup,
    KeyPrompt,
    Key,
    CommissionPrompt,
    Commission,
    Ok,
    Cancel,
};
inline constexpr const char* kListTitle = "Liste der Provisionsschlüssel";
inline constexpr const char* kFormTitle = "Provisionsschlüssel";
}  // namespace provkey
