#pragma once
// The device classes the system carries for the library's sake but has no
// catalogue table for. Their values belong to the maker's calculations for
// hoists, pumps, haulage and so on, which are not part of this system, so
// the members are named by kind and position only; the order and types are
// the library's layout.
//
// GetParaDBData / SetParaDBData answer FALSE and change nothing: there is no
// catalogue table of ours for these kinds. CFannerCurve, CCage, CSkipBucket
// and CElevator answer 0 as the library's intermediate classes do, and the
// classes derived from them override the two operations again.
#include "equipment/Device.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// An electric motor; the stock view uses it as the carrier of stock texts.
class JDBASE_API CElectricMotor final : public CDevice {
public:
    BOOL GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) override;
    BOOL SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) override;

private:
    CString m_strText1;
    double m_dValue1 = 0.0;
    double m_dValue2 = 0.0;
    double m_dValue3 = 0.0;
    double m_dValue4 = 0.0;
    double m_dValue5 = 0.0;
    double m_dValue6 = 0.0;
    CString m_strText2;
    CString m_strText3;
    LONG m_nValue1 = 0;
    CString m_strText4;
    double m_dValue7 = 0.0;
};

// A magnetic starter.
class JDBASE_API CMagneticSwitch final : public CDevice {
public:
    BOOL GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) override;
    BOOL SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) override;

private:
    double m_dValue1 = 0.0;
    double m_dValue2 = 0.0;
    LONG m_nValue1 = 0;
    CString m_strText1;
    CString m_strText2;
    LONG m_nValue2 = 0;
    CString m_strText3;
    CString m_strText4;
    LONG m_nValue3 = 0;
    CString m_strText5;
    CString m_strText6;
};

// A combined protection unit.
class JDBASE_API CColligateProtect final : public CDevice {
public:
    BOOL GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) override;
    BOOL SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) override;

private:
    CString m_strText1;
    CString m_strText2;
    double m_dValue1 = 0.0;
    double m_dValue2 = 0.0;
    double m_dValue3 = 0.0;
    double m_dValue4 = 0.0;
    double m_dValue5 = 0.0;
    double m_dValue6 = 0.0;
    double m_dValue7 = 0.0;
    CString m_strText3;
};

// A combination switch.
class JDBASE_API CCombineSwitch final : public CDevice {
public:
    BOOL GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) override;
    BOOL SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) override;

private:
    CString m_strText1;
    CString m_strText2;
    double m_dValue1 = 0.0;
    double m_dValue2 = 0.0;
    CString m_strText3;
    CString m_strText4;
    CString m_strText5;
};

// An overhead line.
class JDBASE_API CJiakongLine final : public CDevice {
public:
    BOOL GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) override;
    BOOL SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) override;

private:
    CString m_strText1;
    LONG m_nValue1 = 0;
    double m_dValue1 = 0.0;
    double m_dValue2 = 0.0;
};

// A small hoisting winch.
class JDBASE_API CSmallUpgradeWinch final : public CDevice {
public:
    BOOL GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) override;
    BOOL SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) override;

private:
    double m_dValue1 = 0.0;
    CString m_strText1;
    double m_dValue2 = 0.0;
    LONG m_nValue1 = 0;
    double m_dValue3 = 0.0;
    CString m_strText2;
    LONG m_nValue2 = 0;
    LONG m_nValue3 = 0;
    LONG m_nValue4 = 0;
    CString m_strText3;
    double m_dValue4 = 0.0;
    CString m_strText4;
    CString m_strText5;
};

// A hoisting winch.
class JDBASE_API CUpgradeWinch final : public CDevice {
public:
    BOOL GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) override;
    BOOL SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) override;

private:
    LONG m_nValue1 = 0;
    LONG m_nValue2 = 0;
    LONG m_nValue3 = 0;
    double m_dValue1 = 0.0;
    double m_dValue2 = 0.0;
    double m_dValue3 = 0.0;
    LONG m_nValue4 = 0;
    double m_dValue4 = 0.0;
    double m_dValue5 = 0.0;
    CString m_strText1;
    LONG m_nValue5 = 0;
    LONG m_nValue6 = 0;
    CString m_strText2;
    LONG m_nValue7 = 0;
    CString m_strText3;
    double m_dValue6 = 0.0;
    CString m_strText4;
};

// A wire rope.
class JDBASE_API CWireRope final : public CDevice {
public:
    BOOL GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) override;
    BOOL SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) override;

private:
    double m_dValue1 = 0.0;
    double m_dValue2 = 0.0;
    double m_dValue3 = 0.0;
    double m_dValue4 = 0.0;
    LONG m_nValue1 = 0;
    double m_dValue5 = 0.0;
    CString m_strText1;
};

// A pump.
class JDBASE_API CPump final : public CDevice {
public:
    BOOL GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) override;
    BOOL SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) override;

private:
    LONG m_nValue1 = 0;
    double m_dValue1 = 0.0;
    double m_dValue2 = 0.0;
    double m_dValue3 = 0.0;
    double m_dValue4 = 0.0;
    double m_dValue5 = 0.0;
    double m_dValue6 = 0.0;
    double m_dValue7 = 0.0;
    double m_dValue8 = 0.0;
    double m_dValue9 = 0.0;
    LONG m_nValue2 = 0;
    LONG m_nValue3 = 0;
    LONG m_nValue4 = 0;
    CString m_strText1;
    LONG m_nValue5 = 0;
    LONG m_nValue6 = 0;
    double m_dValue10 = 0.0;
    double m_dValue11 = 0.0;
    double m_dValue12 = 0.0;
    double m_dValue13 = 0.0;
    LONG m_nValue7 = 0;
};

// An electric locomotive.
class JDBASE_API CElectricLocomotive final : public CDevice {
public:
    BOOL GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) override;
    BOOL SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) override;

private:
    double m_dValue1 = 0.0;
    double m_dValue2 = 0.0;
    double m_dValue3 = 0.0;
    double m_dValue4 = 0.0;
    double m_dValue5 = 0.0;
    double m_dValue6 = 0.0;
    double m_dValue7 = 0.0;
    LONG m_nValue1 = 0;
    LONG m_nValue2 = 0;
    LONG m_nValue3 = 0;
    LONG m_nValue4 = 0;
    CString m_strText1;
    CString m_strText2;
    CString m_strText3;
    CString m_strText4;
    CString m_strText5;
};

// A mine car.
class JDBASE_API CTramcar final : public CDevice {
public:
    BOOL GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) override;
    BOOL SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) override;

private:
    CString m_strText1;
    double m_dValue1 = 0.0;
    LONG m_nValue1 = 0;
    LONG m_nValue2 = 0;
    LONG m_nValue3 = 0;
    LONG m_nValue4 = 0;
    LONG m_nValue5 = 0;
    LONG m_nValue6 = 0;
    CString m_strText2;
    CString m_strText3;
    CString m_strText4;
};

// A fan characteristic curve.
class JDBASE_API CFannerCurve final : public CDevice {
public:
    BOOL GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) override;
    BOOL SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) override;

private:
    double m_dValue1 = 0.0;
    double m_dValue2 = 0.0;
    double m_dValue3 = 0.0;
    double m_dValue4 = 0.0;
    LONG m_nValue1 = 0;
    LONG m_nValue2 = 0;
    LONG m_nValue3 = 0;
    LONG m_nValue4 = 0;
    LONG m_nValue5 = 0;
    CString m_strText1;
    CString m_strText2;
    CString m_strText3;
    CString m_strText4;
};

// A head sheave.
class JDBASE_API CPullWheel final : public CDevice {
public:
    BOOL GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) override;
    BOOL SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) override;

private:
    CString m_strText1;
    LONG m_nValue1 = 0;
    double m_dValue1 = 0.0;
    CString m_strText2;
    double m_dValue2 = 0.0;
    LONG m_nValue2 = 0;
    LONG m_nValue3 = 0;
    LONG m_nValue4 = 0;
    LONG m_nValue5 = 0;
};

// A reduction gear.
class JDBASE_API CRetarder final : public CDevice {
public:
    BOOL GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) override;
    BOOL SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) override;

private:
    CString m_strText1;
    double m_dValue1 = 0.0;
    CString m_strText2;
    LONG m_nValue1 = 0;
    double m_dValue2 = 0.0;
    double m_dValue3 = 0.0;
};

// A drive motor.
class JDBASE_API CEletromotor final : public CDevice {
public:
    BOOL GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) override;
    BOOL SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) override;

private:
    CString m_strText1;
    CString m_strText2;
    LONG m_nValue1 = 0;
    double m_dValue1 = 0.0;
    LONG m_nValue2 = 0;
    LONG m_nValue3 = 0;
    LONG m_nValue4 = 0;
    LONG m_nValue5 = 0;
    double m_dValue2 = 0.0;
    double m_dValue3 = 0.0;
    LONG m_nValue6 = 0;
};

// An air compressor.
class JDBASE_API CAirCompressor final : public CDevice {
public:
    BOOL GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) override;
    BOOL SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) override;

private:
    CString m_strText1;
    CString m_strText2;
    double m_dValue1 = 0.0;
    double m_dValue2 = 0.0;
    LONG m_nValue1 = 0;
    LONG m_nValue2 = 0;
    CString m_strText3;
    LONG m_nValue3 = 0;
    LONG m_nValue4 = 0;
    CString m_strText4;
};

// A cage (base of single and multi-rope cages).
class JDBASE_API CCage : public CDevice {
public:
    BOOL GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) override;
    BOOL SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) override;

protected:
    CString m_strText1;
    CString m_strText2;
    CString m_strText3;
    LONG m_nValue1 = 0;
    double m_dValue1 = 0.0;
    double m_dValue2 = 0.0;
    CString m_strText4;
    double m_dValue3 = 0.0;
    LONG m_nValue2 = 0;
    LONG m_nValue3 = 0;
    LONG m_nValue4 = 0;
    LONG m_nValue5 = 0;
};

// A single-rope cage.
class JDBASE_API CSingleCage final : public CCage {
public:
    BOOL GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) override;
    BOOL SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) override;

private:
    CString m_strText1;
};

// A multi-rope cage.
class JDBASE_API CMultiCage final : public CCage {
public:
    BOOL GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) override;
    BOOL SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) override;

private:
    double m_dValue1 = 0.0;
    CString m_strText1;
    LONG m_nValue1 = 0;
    CString m_strText2;
    LONG m_nValue2 = 0;
    LONG m_nValue3 = 0;
    CString m_strText3;
    LONG m_nValue4 = 0;
    CString m_strText4;
};

// A skip (base of the skip kinds).
class JDBASE_API CSkipBucket : public CDevice {
public:
    BOOL GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) override;
    BOOL SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) override;

protected:
    CString m_strText1;
    CString m_strText2;
    CString m_strText3;
    double m_dValue1 = 0.0;
    double m_dValue2 = 0.0;
    double m_dValue3 = 0.0;
    LONG m_nValue1 = 0;
    LONG m_nValue2 = 0;
    LONG m_nValue3 = 0;
};

// A single-rope skip.
class JDBASE_API CSingleSkipBucket final : public CSkipBucket {
public:
    BOOL GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) override;
    BOOL SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) override;

private:
    LONG m_nValue1 = 0;
};

// A multi-rope skip.
class JDBASE_API CMultiSkipBucket final : public CSkipBucket {
public:
    BOOL GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) override;
    BOOL SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) override;

private:
    CString m_strText1;
    CString m_strText2;
    LONG m_nValue1 = 0;
    LONG m_nValue2 = 0;
    CString m_strText3;
    LONG m_nValue3 = 0;
    CString m_strText4;
    LONG m_nValue4 = 0;
};

// An inclined-shaft skip.
class JDBASE_API CSlantingSkipBucket final : public CSkipBucket {
public:
    BOOL GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) override;
    BOOL SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) override;

private:
    LONG m_nValue1 = 0;
    LONG m_nValue2 = 0;
    LONG m_nValue3 = 0;
    LONG m_nValue4 = 0;
    LONG m_nValue5 = 0;
    LONG m_nValue6 = 0;
    LONG m_nValue7 = 0;
    LONG m_nValue8 = 0;
};

// A hoist (base of single and multi-rope hoists).
class JDBASE_API CElevator : public CDevice {
public:
    BOOL GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) override;
    BOOL SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) override;

protected:
    CString m_strText1;
    double m_dValue1 = 0.0;
    double m_dValue2 = 0.0;
    double m_dValue3 = 0.0;
    CString m_strText2;
    double m_dValue4 = 0.0;
    double m_dValue5 = 0.0;
    double m_dValue6 = 0.0;
};

// A single-rope hoist.
class JDBASE_API CSingleRopeElevator final : public CElevator {
public:
    BOOL GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) override;
    BOOL SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) override;

private:
    LONG m_nValue1 = 0;
    LONG m_nValue2 = 0;
    LONG m_nValue3 = 0;
    double m_dValue1 = 0.0;
    double m_dValue2 = 0.0;
    CString m_strText1;
    CString m_strText2;
    CString m_strText3;
    LONG m_nValue4 = 0;
    LONG m_nValue5 = 0;
    CString m_strText4;
    LONG m_nValue6 = 0;
    LONG m_nValue7 = 0;
};

// A multi-rope hoist.
class JDBASE_API CMultiRopeElevator final : public CElevator {
public:
    BOOL GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) override;
    BOOL SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) override;

private:
    double m_dValue1 = 0.0;
    double m_dValue2 = 0.0;
    LONG m_nValue1 = 0;
    double m_dValue3 = 0.0;
    double m_dValue4 = 0.0;
    LONG m_nValue2 = 0;
    double m_dValue5 = 0.0;
    double m_dValue6 = 0.0;
    double m_dValue7 = 0.0;
    double m_dValue8 = 0.0;
    LONG m_nValue3 = 0;
    double m_dValue9 = 0.0;
    CString m_strText1;
};

#pragma GCC diagnostic pop
