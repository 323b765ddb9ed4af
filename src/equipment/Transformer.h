#pragma once
// A transformer or mobile substation model: one row of Para_Transformer.
#include "equipment/Device.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

class JDBASE_API CTransformer final : public CDevice {
public:
    BOOL GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) override;
    BOOL SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) override;

    CString GetType() const { return m_strType; }
    void SetType(CString v) { m_strType = v; }
    double GetCapacity() const { return m_dCapacity; }            // kVA
    void SetCapacity(double v) { m_dCapacity = v; }
    double GetHVoltage() const { return m_dHVoltage; }            // primary, V
    void SetHVoltage(double v) { m_dHVoltage = v; }
    double GetLVoltage() const { return m_dLVoltage; }            // secondary, V
    void SetLVoltage(double v) { m_dLVoltage = v; }
    double GetHCurrent() const { return m_dHCurrent; }            // primary rated current, A
    void SetHCurrent(double v) { m_dHCurrent = v; }
    double GetLCurrent() const { return m_dLCurrent; }            // secondary rated current, A
    void SetLCurrent(double v) { m_dLCurrent = v; }
    double GetEmptyLose() const { return m_dEmptyLose; }          // no-load loss, W
    void SetEmptyLose(double v) { m_dEmptyLose = v; }
    double GetShortcutLose() const { return m_dShortcutLose; }    // short-circuit (load) loss, W
    void SetShortcutLose(double v) { m_dShortcutLose = v; }
    double GetRXPercent() const { return m_dRXPercent; }          // impedance voltage, %
    void SetRXPercent(double v) { m_dRXPercent = v; }
    double GetTransR() const { return m_dTransR; }                // winding resistance, ohm (secondary side)
    void SetTransR(double v) { m_dTransR = v; }
    double GetTransX() const { return m_dTransX; }                // winding reactance, ohm (secondary side)
    void SetTransX(double v) { m_dTransX = v; }
    CString GetLinkGroup() const { return m_strLinkGroup; }       // connection group, "Y,y0"
    void SetLinkGroup(CString v) { m_strLinkGroup = v; }

    // The catalogue columns (after ID) in the order of the members.
    template <class Self, class Visitor>
    static void VisitCatalogueColumns(Self& self, Visitor&& visit) {
        visit("Model", self.m_strModel);
        visit("Type", self.m_strType);
        visit("Capacity", self.m_dCapacity);
        visit("HVoltage", self.m_dHVoltage);
        visit("LVoltage", self.m_dLVoltage);
        visit("HCurrent", self.m_dHCurrent);
        visit("LCurrent", self.m_dLCurrent);
        visit("EmptyLose", self.m_dEmptyLose);
        visit("ShortcutLose", self.m_dShortcutLose);
        visit("RXPercent", self.m_dRXPercent);
        visit("TransR", self.m_dTransR);
        visit("TransX", self.m_dTransX);
        visit("LinkGroup", self.m_strLinkGroup);
    }

private:
    CString m_strType;
    double m_dCapacity = 0.0;
    double m_dHVoltage = 0.0;
    double m_dLVoltage = 0.0;
    double m_dHCurrent = 0.0;
    double m_dLCurrent = 0.0;
    double m_dEmptyLose = 0.0;
    double m_dShortcutLose = 0.0;
    double m_dRXPercent = 0.0;
    double m_dTransR = 0.0;
    double m_dTransX = 0.0;
    CString m_strLinkGroup;
};

#pragma GCC diagnostic pop
