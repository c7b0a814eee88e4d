<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ru_RU">
<context>
    <name>CCalibrationDlg</name>
    <message>
        <source>Please enter a number.</source>
        <translation>Please enter a number.</translation>
    </message>
    <message>
        <source>Проба</source>
        <translation>Sample</translation>
    </message>
    <message>
        <source>Sст</source>
        <translation>S(IS)</translation>
    </message>
    <message>
        <source>С</source>
        <translation>C</translation>
    </message>
    <message>
        <source>Сст</source>
        <translation>C(IS)</translation>
    </message>
    <message>
        <source>К</source>
        <translation>K</translation>
    </message>
</context>
<context>
    <name>COpenChrmDlg</name>
    <message>
        <source>Ошибка чтения !!!</source>
        <translation>Read error !!!</translation>
    </message>
    <message>
        <source>Дата</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>Проба</source>
        <translation>Sample</translation>
    </message>
    <message>
        <source>Файл</source>
        <translation>File</translation>
    </message>
</context>
<context>
    <name>CalibrationChart</name>
    <message>
        <source>Отклик детектора</source>
        <translation>Detector response</translation>
    </message>
    <message>
        <source>Количество</source>
        <translation>Amount</translation>
    </message>
</context>
<context>
    <name>CalibrationLevel</name>
    <message>
        <source>Не задан</source>
        <translation>Not set</translation>
    </message>
</context>
<context>
    <name>DialogTemplate</name>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Масса навески этанола</source>
        <translation>Ethanol sample mass</translation>
    </message>
    <message>
        <source>Масса навески изопропанола</source>
        <translation>Isopropanol sample mass</translation>
    </message>
    <message>
        <source>Массовая доля основного вещества</source>
        <translation>Mass fraction of main substance</translation>
    </message>
    <message>
        <source>Средний градуировочный коэффициент</source>
        <translation>Average calibration coefficient</translation>
    </message>
    <message>
        <source>Сохранить в метод</source>
        <translation>Save to method</translation>
    </message>
    <message>
        <source>Хроматограммы</source>
        <translation>Chromatograms</translation>
    </message>
    <message>
        <source>Очистить</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>Калибровка по ГОСТ 25742.4-83 (версия 1.1)</source>
        <translation>Calibration to GOST 25742.4-83 (version 1.1)</translation>
    </message>
    <message>
        <source>Любые</source>
        <translation>Any</translation>
    </message>
    <message>
        <source>Градуировочные</source>
        <translation>Calibration</translation>
    </message>
    <message>
        <source>Анализы</source>
        <translation>Analyses</translation>
    </message>
    <message>
        <source>Открыть</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>&amp;Отмена</source>
        <translation>&amp;Cancel</translation>
    </message>
    <message>
        <source>Метод:</source>
        <translation>Method:</translation>
    </message>
    <message>
        <source>Пункт отбора:</source>
        <translation>Sampling site:</translation>
    </message>
    <message>
        <source>Точка отбора:</source>
        <translation>Sampling point:</translation>
    </message>
    <message>
        <source>Совместный выбор</source>
        <translation>Joint selection</translation>
    </message>
    <message>
        <source>Тип:</source>
        <translation>Type:</translation>
    </message>
    <message>
        <source>Вся файловая система</source>
        <translation>Whole file system</translation>
    </message>
    <message>
        <source>Открытие хроматограммы</source>
        <translation>Open chromatogram</translation>
    </message>
    <message>
        <source>* (любой)</source>
        <translation>* (any)</translation>
    </message>
    <message>
        <source>* (любая)</source>
        <translation>* (any)</translation>
    </message>
</context>
</TS>
