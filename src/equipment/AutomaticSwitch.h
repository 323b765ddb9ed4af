#pragma once
// A low-voltage automatic feeder switch model: one row of Para_AutomaticSwitch.
// The setting texts (trip currents, multiples) are free texts shown to the
// user as the catalogue holds them; only the two maxima are numbers.
#include "equipment/Device.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

class JDBASE_API CAutomaticSwitch final : public CDevice {
public:
    BOOL GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) override;
    BOOL SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) override;

    double GetVoltage() const { return m_dVoltage; }                    // V
    void SetVoltage(double v) { m_dVoltage = v; }
    double GetCurrent() const { return m_dCurrent; }                    // rated current, A
    void SetCurrent(double v) { m_dCurrent = v; }
    int GetIsThemalProtect() const { return m_nIsThemalProtect; }       // over-current relay protection
    void SetIsThemalProtect(int v) { m_nIsThemalProtect = v; }
    CString GetReleaseCurrent() const { return m_strReleaseCurrent; }   // trip current settings
    void SetReleaseCurrent(CString v) { m_strReleaseCurrent = v; }
    double GetMaxReleaseCurrent() const { return m_dMaxReleaseCurrent; } // A
    void SetMaxReleaseCurrent(double v) { m_dMaxReleaseCurrent = v; }
    int GetIsElectricProtect() const { return m_nIsElectricProtect; }   // electronic protection
    void SetIsElectricProtect(int v) { m_nIsElectricProtect = v; }
    CString GetLongMultiple() const { return m_strLongMultiple; }       // long-time setting multiples
    void SetLongMultiple(CString v) { m_strLongMultiple = v; }
    CString GetShortMultiple() const { return m_strShortMultiple; }     // instantaneous setting multiples
    void SetShortMultiple(CString v) { m_strShortMultiple = v; }
    double GetMaxShortMultiple() const { return m_dMaxShortMultiple; }  // largest instantaneous multiple
    void SetMaxShortMultiple(double v) { m_dMaxShortMultiple = v; }

    template <class Self, class Visitor>
    static void VisitCatalogueColumns(Self& self, Visitor&& visit) {
        visit("Model", self.m_strModel);
        visit("Voltage", self.m_dVoltage);
        visit("RCurrent", self.m_dCurrent);
        visit("IsThemalProtect", self.m_nIsThemalProtect);
        visit("ReleaseCurrent", self.m_strReleaseCurrent);
        visit("MCurrent", self.m_dMaxReleaseCurrent);
        visit("IsElectricProtect", self.m_nIsElectricProtect);
        visit("LongMultiple", self.m_strLongMultiple);
        visit("ShortMultiple", self.m_strShortMultiple);
        visit("MSMulti", self.m_dMaxShortMultiple);
    }

private:
    double m_dVoltage = 0.0;
    double m_dCurrent = 0.0;
    int m_nIsThemalProtect = 0;
    CString m_strReleaseCurrent;
    double m_dMaxReleaseCurrent = 0.0;
    int m_nIsElectricProtect = 0;
    CString m_strLongMultiple;
    CString m_strShortMultiple;
    double m_dMaxShortMultiple = 0.0;
};

#pragma GCC diagnostic pop
