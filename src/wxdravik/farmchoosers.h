// Drop-down choosers of the farm's jobs and installed products.
#pragma once

#include <utility>

#include <wx/window.h>

#include "draviklib/draviklib.h"
#include "wxdravik/wxdravikdefs.h"
#include "wxdravik/wxschoice.h"

/// The unfinished jobs the client knows, by name, with a "None" entry sorted
/// in among them; answers with the chosen job's UID (empty for "None").
class WXDRAVIK_API JobSelector : public wxsChoice
{
public:
    JobSelector(wxWindow* parent, int id);

    /// Lists every unfinished job except exclude (an empty UID excludes
    /// nothing), sorted by name ignoring case, and selects the first item.
    /// A second Fill replaces what the first listed.
    void Fill(const UID& exclude);
    /// Selects the item of that job, without a selection event; an unknown
    /// job changes nothing.
    void SelectJob(const UID& job);
    /// The selected job; UID::Null for "None" or when nothing is selected.
    const UID& GetSelectedJob() const;

private:
    void AppendData(const UID& job, const String& name);

    /// One entry per item; an item's client data is its entry's index.
    xolib::vector<std::pair<UID, String>> m_Entries;
};

/// The installed products by name, ignoring case, without those hidden in
/// section "Hide Products" of the options (read once, at construction).
class WXDRAVIK_API ProductChoice : public wxsChoice
{
public:
    ProductChoice(wxWindow* parent, int id);

    /// The product of item index; an empty UID when there is none.
    UID GetProduct(int index);
    UID GetSelectedProduct();
    /// Selects the product's item and sends wxEVT_COMBOBOX as a user's
    /// selection would, also when it was selected already; a product that is
    /// not listed changes nothing and sends nothing.
    void SetSelectedProduct(const UID& product);

private:
    /// Names and UIDs, each unique (names ignoring case); the first one in
    /// stays. The items are the names in this order.
    class ProductTable
    {
    public:
        bool Insert(const String& name, const UID& id);
        /// Empty when absent.
        UID Find(const String& name) const;
        /// Null when absent.
        const String* Find(const UID& id) const;
        const xolib::map<String, UID, String::ciless>& ByName() const { return m_ByName; }

    private:
        xolib::map<String, UID, String::ciless> m_ByName;
        xolib::map<UID, String> m_ByID;
    };

    ProductTable m_Products;
};
