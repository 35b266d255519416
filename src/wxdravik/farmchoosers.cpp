#include "wxdravik/farmchoosers.h"

#include <algorithm>
#include <cstdint>

#include "wxdravik/wxconfirmdlg.h"
#include "wxdravik/wxdravikstring.h"

namespace
{
const String k_HideProducts = "Hide Products";
}

// ---------------------------------------------------------------- JobSelector

JobSelector::JobSelector(wxWindow* parent, int id)
    : wxsChoice(parent, id, wxDefaultPosition, wxDefaultSize, wxArrayString(), 0, wxDefaultValidator, "choice")
{
}

void JobSelector::Fill(const UID& exclude)
{
    // Appending to an earlier fill and sorting again would leave the earlier
    // items' indices pointing at other entries, so a refill starts afresh.
    Clear();
    m_Entries.clear();

    AppendData(UID::Null, wxsFromWx(_("None")));
    if (DravikApp* app = DravikApp::GetInstance())
        for (const UID& id : app->GetAllJobs())
        {
            if (exclude && id == exclude)
                continue;
            const boost::shared_ptr<Job> job = app->GetJobByID(id);
            if (job && !job->IsFinished())
                AppendData(id, job->Name());
        }
    std::sort(m_Entries.begin(), m_Entries.end(),
              [](const auto& a, const auto& b) { return a.second.CompareNoCase(b.second) < 0; });
    for (size_t i = 0; i < m_Entries.size(); ++i)
        Append(wxsToWx(m_Entries[i].second), reinterpret_cast<void*>(uintptr_t(i)));
    SetSelection(0);
}

void JobSelector::SelectJob(const UID& job)
{
    for (unsigned item = 0; item < GetCount(); ++item)
    {
        const size_t index = size_t(reinterpret_cast<uintptr_t>(GetClientData(item)));
        if (index < m_Entries.size() && m_Entries[index].first == job)
        {
            SetSelection(int(item));
            return;
        }
    }
}

const UID& JobSelector::GetSelectedJob() const
{
    const int item = GetSelection();
    if (GetCount() == 0 || item < 0 || unsigned(item) >= GetCount())
        return UID::Null;
    const size_t index = size_t(reinterpret_cast<uintptr_t>(GetClientData(unsigned(item))));
    return index < m_Entries.size() ? m_Entries[index].first : UID::Null;
}

void JobSelector::AppendData(const UID& job, const String& name)
{
    m_Entries.emplace_back(job, name);
}

// ---------------------------------------------------------------- ProductChoice

bool ProductChoice::ProductTable::Insert(const String& name, const UID& id)
{
    if (m_ByName.count(name) != 0 || m_ByID.count(id) != 0)
        return false;
    m_ByName.emplace(name, id);
    m_ByID.emplace(id, name);
    return true;
}

UID ProductChoice::ProductTable::Find(const String& name) const
{
    const auto found = m_ByName.find(name);
    return found == m_ByName.end() ? UID(false) : found->second;
}

const String* ProductChoice::ProductTable::Find(const UID& id) const
{
    const auto found = m_ByID.find(id);
    return found == m_ByID.end() ? nullptr : &found->second;
}

ProductChoice::ProductChoice(wxWindow* parent, int id)
    : wxsChoice(parent, id, wxDefaultPosition, wxDefaultSize, wxArrayString(), 0, wxDefaultValidator, "choice")
{
    const xolib::vector<UID> products = JobFactory::s_JobFactory.ListProducts();
    if (products.empty())
    {
        wxDravikMessageBox(_("No Products are currently available."), "ProductChoiceNoProducts", nullptr);
        Append(_("None Installed"));
        Disable();
        SetSelection(0);
        return;
    }
    const OptionsFile& options = DravikApp::GetOptions();
    for (const UID& product : products)
    {
        if (options.GetValue(k_HideProducts, product.ToString(), false))
            continue;
        // A product retired since the listing has no name to show.
        if (const boost::shared_ptr<const Product> found = JobFactory::s_JobFactory.GetProduct(product))
            m_Products.Insert(*found, product);
    }
    for (const auto& entry : m_Products.ByName())
        Append(wxsToWx(entry.first));
    if (GetCount() > 0)
        SetSelection(0);
}

UID ProductChoice::GetProduct(int index)
{
    if (index < 0 || unsigned(index) >= GetCount())
        return UID(false);
    return m_Products.Find(wxsFromWx(GetString(unsigned(index))));
}

UID ProductChoice::GetSelectedProduct()
{
    return GetProduct(GetSelection());
}

void ProductChoice::SetSelectedProduct(const UID& product)
{
    const String* name = m_Products.Find(product);
    if (!name || !SetStringSelection(wxsToWx(*name)))
        return;
    const int selection = GetSelection();
    wxCommandEvent event(wxEVT_COMBOBOX, GetId());
    event.SetInt(selection);
    event.SetString(GetString(unsigned(selection)));
    event.SetEventObject(this);
    Command(event);
}
