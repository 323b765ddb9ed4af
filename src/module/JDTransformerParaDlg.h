#pragma once
// "变压器详细参数": shows one transformer model of the catalogue, lets the
// user edit it, or enters a new one. The catalogue is written only by OK,
// after the model name is checked; the primary and secondary voltages typed
// in that are not in the lists yet are added to the library's lists first.
#include <initializer_list>

#include "module/ModuleResources.h"
#include "platform/CComboBox.h"
#include "platform/CDialog.h"
#include "platform/CString.h"

class JDMODULE_API CJDTransformerParaDlg : public CDialog {
public:
    explicit CJDTransformerParaDlg(CWnd* pParent = nullptr);
    ~CJDTransformerParaDlg() override;

    // Inputs.
    LONG m_nModelId = 0;     // catalogue ID shown and edited when m_bNewModel is 0
    int m_bNewModel = 0;     // 1: enter a new model
    // Inputs and outputs: the items selected in 5003, 5004 and 5023 on
    // opening; on OK the selected indices (-1 for a typed text that is no item).
    int m_nHvIndex = 0;
    int m_nLvIndex = 0;
    int m_nTypeIndex = 0;
    // Outputs of OK.
    double m_dCapacity = 0.0;   // kVA
    CString m_strHvText;        // primary voltage as entered, V
    CString m_strLvText;        // secondary voltage as entered, V

    // Exchanged with the controls.
    CString m_strModel;
    double m_dHvCurrent = 0.0;          // A
    double m_dLvCurrent = 0.0;          // A
    double m_dNoLoadLoss = 0.0;         // W
    double m_dShortCircuitLoss = 0.0;   // W
    double m_dResistance = 0.0;         // ohm
    double m_dReactance = 0.0;          // ohm
    double m_dImpedancePercent = 0.0;   // %
    CString m_strLinkGroup;

    CComboBox m_typeCombo;
    CComboBox m_capacityCombo;
    CComboBox m_hvCombo;
    CComboBox m_lvCombo;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    DECLARE_MESSAGE_MAP()

private:
    // Appends the items of one of the library's list texts to a combo box.
    static void AppendLibraryList(char* heapText, CComboBox& combo);
};

// The number at the start of a text in plain decimal notation
// ([sign]digits[.digits][exponent]), 0 when it does not start with one (the
// detail dialog saves what was typed without further checks).
JDMODULE_API double LeadingNumber(const CString& text);
// True when one of the combo box's items equals the text exactly.
JDMODULE_API bool ComboHasItem(CComboBox& combo, const CString& text);

// A text of a detail dialog with the label of its field, as the user sees it.
struct CatalogueTextField {
    const char* utf8Label;
    const CString& text;
};
// Every text of a model goes to the catalogue and from there onto maps: the
// first one a map field cannot hold (a NUL, a character outside GBK) is named
// in a box, and false tells the dialog to stay open for the user to correct it.
JDMODULE_API bool CatalogueTextsStorable(std::initializer_list<CatalogueTextField> fields);
