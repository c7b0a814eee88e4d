<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ru_RU">
<context>
    <name>AuditFinding</name>
    <message>
        <source>строка %1: цепочка нарушена (строка перед ней изменена, удалена или вставлена, или изменена сама эта строка)</source>
        <translation>line %1: the chain is broken (the line before it was edited, removed or inserted, or this line itself was edited)</translation>
    </message>
    <message>
        <source>строка %1: запись оборвана (программа была прервана во время записи); строка оставлена как есть</source>
        <translation>line %1: the record is cut short (the program was stopped while writing it); the line is left as it is</translation>
    </message>
    <message>
        <source>строка %1: копия метода %2 отсутствует</source>
        <translation>line %1: the method copy %2 is missing</translation>
    </message>
    <message>
        <source>строка %1: копия метода %2 изменена после сохранения</source>
        <translation>line %1: the method copy %2 was changed after it was kept</translation>
    </message>
</context>
<context>
    <name>CCalibrationDlg</name>
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
    <message>
        <source>Введите число.</source>
        <translation>Please enter a number.</translation>
    </message>
    <message>
        <source>Откл., %</source>
        <translation>Dev., %</translation>
    </message>
    <message>
        <source>Ошибка чтения</source>
        <translation>Read error</translation>
    </message>
    <message>
        <source>Хроматограмма не выбрана</source>
        <translation>No chromatogram chosen</translation>
    </message>
    <message>
        <source>Калибровка принята</source>
        <translation>Calibration accepted</translation>
    </message>
    <message>
        <source>Калибровка принята. Замечание: %1</source>
        <translation>Calibration accepted. Remark: %1</translation>
    </message>
    <message>
        <source>Калибровка не принята: %1</source>
        <translation>Calibration not accepted: %1</translation>
    </message>
    <message>
        <source>%1 — уровень %2</source>
        <translation>%1 — level %2</translation>
    </message>
    <message>
        <source>(папка настроек не задана: нет ни XDG_CONFIG_HOME, ни HOME)</source>
        <translation>(no settings folder: neither XDG_CONFIG_HOME nor HOME is set)</translation>
    </message>
    <message>
        <source>Файл настроек %1 был повреждён и не читался.
Он сохранён как %2, настройки начаты заново.</source>
        <translation>The settings file %1 was damaged and could not be read.
It was kept as %2; the settings start afresh.</translation>
    </message>
    <message>
        <source>Масса навески должна быть больше 0.</source>
        <translation>A sample mass must be greater than 0.</translation>
    </message>
    <message>
        <source>Массовая доля должна быть больше 0 и не больше 100.</source>
        <translation>The mass fraction must be greater than 0 and at most 100.</translation>
    </message>
    <message>
        <source>ОСКО: относительное стандартное отклонение коэффициентов уровней 0.05–0.5 (RSD).
Разброс: (Kmax − Kmin) / K̄; калибровка принимается, пока он не больше допуска лаборатории.
r²: насколько линия среднего коэффициента проходит через точки (1 — точно через все).</source>
        <translation>RSD: relative standard deviation of the coefficients of levels 0.05–0.5.
Spread: (Kmax − Kmin) / K̄; the calibration is accepted while it is within the lab&apos;s limit.
r²: how well the line of the average coefficient passes through the points (1: exactly through all).</translation>
    </message>
    <message>
        <source>ОСКО %1 %   разброс %2 % (допуск %3 %)   r² %4</source>
        <translation>RSD %1 %   spread %2 % (limit %3 %)   r² %4</translation>
    </message>
    <message>
        <source>Здесь нет числа. Введите число, например 1,5 (десятичный знак — запятая или точка).
Расчёт ведётся с прежним значением %1.</source>
        <translation>This is not a number. Enter a number, such as 1.5 (the decimal sign may be a comma or a point).
The calculation goes on with the previous value %1.</translation>
    </message>
    <message>
        <source>чтение…</source>
        <translation>reading…</translation>
    </message>
    <message>
        <source>Идёт расчёт: чтение хроматограмм…</source>
        <translation>Calculating: reading the chromatograms…</translation>
    </message>
    <message>
        <source>ожидание файла: %1 с</source>
        <translation>waiting for the file: %1 s</translation>
    </message>
    <message>
        <source>Расчёт ждёт ответа файла %1 (%2 с)</source>
        <translation>The calculation is waiting for the file %1 to answer (%2 s)</translation>
    </message>
    <message>
        <source>Запись в метод — по окончании расчёта.</source>
        <translation>Writing into the method follows when the calculation ends.</translation>
    </message>
    <message>
        <source>Протокол — по окончании расчёта.</source>
        <translation>The protocol follows when the calculation ends.</translation>
    </message>
    <message>
        <source>нет прав на запись</source>
        <translation>no permission to write</translation>
    </message>
    <message>
        <source>нет места на диске</source>
        <translation>no space left on the disk</translation>
    </message>
    <message>
        <source>диск доступен только для чтения</source>
        <translation>the disk is read-only</translation>
    </message>
    <message>
        <source>Причина: %1.
</source>
        <translation>Reason: %1.
</translation>
    </message>
    <message>
        <source>Не удалось сохранить настройки в %1.
%2Массы, хроматограммы уровней и выбранный метод при следующем запуске не восстановятся.</source>
        <translation>The settings could not be saved in %1.
%2The masses, the level chromatograms and the chosen method will not be restored at the next start.</translation>
    </message>
    <message>
        <source>Папка методов не задана (MethodPath в настройках)</source>
        <translation>No method folder is set (MethodPath in the settings)</translation>
    </message>
    <message>
        <source>Папка методов «%1» не найдена</source>
        <translation>Method folder “%1” not found</translation>
    </message>
    <message>
        <source>В папке методов «%1» нет методов</source>
        <translation>The method folder “%1” holds no methods</translation>
    </message>
</context>
<context>
    <name>CChromatogramPreview</name>
    <message>
        <source>Ошибка чтения</source>
        <translation>Read error</translation>
    </message>
    <message>
        <source>чтение…</source>
        <translation>reading…</translation>
    </message>
</context>
<context>
    <name>CChromatogramWindow</name>
    <message>
        <source>Экспорт…</source>
        <translation>Export…</translation>
    </message>
    <message>
        <source>Хроматограмма уровня %1: %2 (%3)</source>
        <translation>Chromatogram of level %1: %2 (%3)</translation>
    </message>
    <message>
        <source>Компонент</source>
        <translation>Component</translation>
    </message>
    <message>
        <source>Начало</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Конец</source>
        <translation>End</translation>
    </message>
    <message>
        <source>Время удерживания</source>
        <translation>Retention time</translation>
    </message>
    <message>
        <source>Площадь</source>
        <translation>Area</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Хроматограмма уровня %1: %2 — ошибка чтения: %3</source>
        <translation>Chromatogram of level %1: %2 — read error: %3</translation>
    </message>
</context>
<context>
    <name>CLevelOverlayWindow</name>
    <message>
        <source>Хроматограммы уровней</source>
        <translation>Level chromatograms</translation>
    </message>
    <message>
        <source>Этанол и изопропанол</source>
        <translation>Ethanol and isopropanol</translation>
    </message>
    <message>
        <source>Весь график</source>
        <translation>Whole chart</translation>
    </message>
    <message>
        <source>Увеличить область пиков этанола и изопропанола (F5)</source>
        <translation>Zoom onto the ethanol and isopropanol peaks (F5)</translation>
    </message>
    <message>
        <source>Показать хроматограммы целиком (Home)</source>
        <translation>Show the whole chromatograms (Home)</translation>
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
    <message>
        <source>прочитано файлов: %1 из %2</source>
        <translation>files read: %1 of %2</translation>
    </message>
    <message>
        <source>чтение папки…</source>
        <translation>reading the folder…</translation>
    </message>
    <message>
        <source>папка не найдена</source>
        <translation>folder not found</translation>
    </message>
    <message>
        <source>нет доступа к папке</source>
        <translation>no access to the folder</translation>
    </message>
    <message>
        <source>папка прочитана не полностью</source>
        <translation>folder not read completely</translation>
    </message>
    <message>
        <source>папку не удалось прочитать</source>
        <translation>the folder could not be read</translation>
    </message>
    <message>
        <source>файлов исчезло во время чтения: %1</source>
        <translation>files gone while reading: %1</translation>
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
    <name>CalibrationProblem</name>
    <message>
        <source>Уровень %1: хроматограмма не выбрана</source>
        <translation>Level %1: no chromatogram chosen</translation>
    </message>
    <message>
        <source>Уровень %1: нет коэффициента: нет пика изопропанола или масса навески изопропанола не больше 0</source>
        <translation>Level %1: no coefficient: no isopropanol peak, or the isopropanol sample mass is not above 0</translation>
    </message>
    <message>
        <source>Уровень %1: нет коэффициента: площадь этанола не больше, чем на уровне 0</source>
        <translation>Level %1: no coefficient: the ethanol area is not above that of level 0</translation>
    </message>
    <message>
        <source>Уровень %1: нет коэффициента: масса навески этанола или доля основного вещества не больше 0</source>
        <translation>Level %1: no coefficient: the ethanol sample mass or the mass fraction of main substance is not above 0</translation>
    </message>
    <message>
        <source>Уровень %1: нет коэффициента: коэффициент не вычислен</source>
        <translation>Level %1: no coefficient: the coefficient was not computed</translation>
    </message>
    <message>
        <source>Уровни %1 и %2: один и тот же файл %3</source>
        <translation>Levels %1 and %2: the same file %3</translation>
    </message>
    <message>
        <source>Средний коэффициент %1 не является положительным числом</source>
        <translation>The average coefficient %1 is not a positive number</translation>
    </message>
    <message>
        <source>Разброс коэффициентов %1 % больше допустимого %2 %</source>
        <translation>The spread of the coefficients %1 % is over the limit of %2 %</translation>
    </message>
    <message>
        <source>Уровень %1: проба «%2» не отмечена как градуировочная</source>
        <translation>Level %1: the sample “%2” is not marked as a calibration run</translation>
    </message>
    <message>
        <source>Расчёт сделан не по значениям полей: в поле, отмеченном красным, нет числа</source>
        <translation>Not computed from the values in the fields: the field marked red holds no number</translation>
    </message>
    <message>
        <source>Уровень %1: ошибка чтения файла %2: %3</source>
        <translation>Level %1: error reading file %2: %3</translation>
    </message>
    <message>
        <source>Уровни %1 и %2: один и тот же файл под двумя путями: %4 и %3</source>
        <translation>Levels %1 and %2: the same file under two paths: %4 and %3</translation>
    </message>
    <message>
        <source>Уровень %1: время удерживания пика «%2» отличается от медианы уровней на %3 % (допуск %4 %)</source>
        <translation>Level %1: the retention time of the peak “%2” is %3 % off the median of the levels (limit %4 %)</translation>
    </message>
</context>
<context>
    <name>ChromatogramExport</name>
    <message>
        <source>Экспорт хроматограммы</source>
        <translation>Export the chromatogram</translation>
    </message>
    <message>
        <source>Файлы ANDI/AIA netCDF (*.cdf)</source>
        <translation>ANDI/AIA netCDF files (*.cdf)</translation>
    </message>
    <message>
        <source>Таблицы CSV (*.csv)</source>
        <translation>CSV tables (*.csv)</translation>
    </message>
    <message>
        <source>Хроматограмма сохранена в файл:
%1</source>
        <translation>The chromatogram was saved to the file:
%1</translation>
    </message>
    <message>
        <source>Хроматограмма не сохранена:
%1</source>
        <translation>The chromatogram was not saved:
%1</translation>
    </message>
</context>
<context>
    <name>ChromatogramPlot</name>
    <message>
        <source>Отклик детектора</source>
        <translation>Detector response</translation>
    </message>
    <message>
        <source>Время, мин</source>
        <translation>Time, min</translation>
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
    <message>
        <source>Отменить запись</source>
        <translation>Undo write</translation>
    </message>
    <message>
        <source>Протокол…</source>
        <translation>Protocol…</translation>
    </message>
    <message>
        <source>Хроматограммы уровней…</source>
        <translation>Level chromatograms…</translation>
    </message>
</context>
<context>
    <name>LevelOverlayPlot</name>
    <message>
        <source>Уровень %1: %2 (%3)</source>
        <translation>Level %1: %2 (%3)</translation>
    </message>
    <message>
        <source>Уровень %1: хроматограмма не выбрана</source>
        <translation>Level %1: no chromatogram chosen</translation>
    </message>
    <message>
        <source>Уровень %1: ошибка чтения файла %2 (%3)</source>
        <translation>Level %1: the file %2 could not be read (%3)</translation>
    </message>
</context>
<context>
    <name>MethodFault</name>
    <message>
        <source>папка методов не задана</source>
        <translation>no method folder is set</translation>
    </message>
    <message>
        <source>папка методов не найдена</source>
        <translation>the method folder is not found</translation>
    </message>
    <message>
        <source>файл метода не найден</source>
        <translation>the method file is not found</translation>
    </message>
    <message>
        <source>файл метода защищён от записи</source>
        <translation>the method file is write-protected</translation>
    </message>
    <message>
        <source>файл метода занят другой программой</source>
        <translation>the method file is in use by another program</translation>
    </message>
    <message>
        <source>нет записи этанола</source>
        <translation>no ethanol record</translation>
    </message>
    <message>
        <source>запись этанола обрезана концом файла</source>
        <translation>the ethanol record is cut short by the end of the file</translation>
    </message>
    <message>
        <source>ошибка чтения или записи файла</source>
        <translation>the file could not be read or written</translation>
    </message>
    <message>
        <source>коэффициент не является положительным числом</source>
        <translation>the coefficient is not a positive number</translation>
    </message>
    <message>
        <source>нет сохранённой копии метода</source>
        <translation>no kept copy of the method</translation>
    </message>
    <message>
        <source>не удалось сохранить копию метода</source>
        <translation>a copy of the method could not be kept</translation>
    </message>
    <message>
        <source>журнал изменений недоступен для записи</source>
        <translation>the audit trail cannot be written</translation>
    </message>
</context>
<context>
    <name>MethodWriteNotice</name>
    <message>
        <source>Журнал изменений, %1.</source>
        <translation>Audit trail, %1.</translation>
    </message>
    <message>
        <source>Запись в метод «%1» (строка %2 журнала изменений) была прервана: метод был записан.</source>
        <translation>The write into the method “%1” (line %2 of the audit trail) was interrupted: the method was written.</translation>
    </message>
    <message>
        <source>Запись в метод «%1» (строка %2 журнала изменений) была прервана: метод остался прежним.</source>
        <translation>The write into the method “%1” (line %2 of the audit trail) was interrupted: the method stayed as it was.</translation>
    </message>
    <message>
        <source>Запись в метод «%1» (строка %2 журнала изменений) была прервана: метод с тех пор изменён, исход неизвестен.</source>
        <translation>The write into the method “%1” (line %2 of the audit trail) was interrupted: the method has changed since, the outcome is unknown.</translation>
    </message>
    <message>
        <source>Отказ не удалось записать в журнал изменений.</source>
        <translation>The refusal could not be recorded in the audit trail.</translation>
    </message>
    <message>
        <source>Исход записи не удалось внести в журнал изменений; строка попытки в журнале есть, исход будет внесён при следующей записи.</source>
        <translation>The outcome of the write could not be recorded in the audit trail; the trail has the line of the attempt, and the outcome will be recorded at the next write.</translation>
    </message>
</context>
<context>
    <name>MethodWriteTexts</name>
    <message>
        <source>папка методов не задана (значение MethodPath в настройках)</source>
        <translation>no method folder is set (the value MethodPath of the settings)</translation>
    </message>
    <message>
        <source>папка методов «%1» не найдена</source>
        <translation>the method folder “%1” is not found</translation>
    </message>
    <message>
        <source>метод не выбран (в папке методов «%1» нет методов)</source>
        <translation>no method is chosen (the method folder “%1” has no methods)</translation>
    </message>
    <message>
        <source>не во всех полях стоят допустимые числа; исправьте поле, отмеченное красным, и сохраните снова</source>
        <translation>not every field holds an acceptable number; correct the field marked in red and save again</translation>
    </message>
    <message>
        <source>ни на одном уровне нет прочитанной хроматограммы</source>
        <translation>no level has a chromatogram that was read</translation>
    </message>
    <message>
        <source>средний градуировочный коэффициент (%1) не является положительным числом</source>
        <translation>the average calibration coefficient (%1) is not a positive number</translation>
    </message>
    <message>
        <source>ВНИМАНИЕ: градуировка НЕ принята:</source>
        <translation>WARNING: the calibration is NOT accepted:</translation>
    </message>
    <message>
        <source>
Записывать этот коэффициент в метод не следует: по нему будут считаться все результаты анализов.</source>
        <translation>
This coefficient should not be written into the method: every analysis result will be computed with it.</translation>
    </message>
    <message>
        <source>Градуировка принята, с замечаниями:</source>
        <translation>Calibration accepted, with remarks:</translation>
    </message>
    <message>
        <source>Градуировка принята.</source>
        <translation>Calibration accepted.</translation>
    </message>
    <message>
        <source>
Было: %1
Стало: %2
Прежний файл метода сохранён: %3</source>
        <translation>
Was: %1
Now: %2
The previous method file was kept: %3</translation>
    </message>
    <message>
        <source>: %1.
Файл метода: %2
Метод не изменён.</source>
        <translation>: %1.
Method file: %2
The method is unchanged.</translation>
    </message>
    <message>
        <source>Коэффициент не записан: %1.</source>
        <translation>The coefficient was not written: %1.</translation>
    </message>
    <message>
        <source>Записать градуировочный коэффициент в метод «%1»?

Файл метода: %2
Сейчас в методе: %3
Будет записано: %4

</source>
        <translation>Write the calibration coefficient into the method “%1”?

Method file: %2
In the method now: %3
To be written: %4

</translation>
    </message>
    <message>
        <source>Записать</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>Не записывать</source>
        <translation>Do not write</translation>
    </message>
    <message>
        <source>Коэффициент записан в метод «%1».</source>
        <translation>The coefficient was written into the method “%1”.</translation>
    </message>
    <message>
        <source>Коэффициент не записан в метод «%1»</source>
        <translation>The coefficient was not written into the method “%1”</translation>
    </message>
    <message>
        <source>Отменять нечего: %1.</source>
        <translation>Nothing to undo: %1.</translation>
    </message>
    <message>
        <source>Отменять нечего: копий метода «%1» до записи в него нет.</source>
        <translation>Nothing to undo: there is no copy of the method “%1” from before a write.</translation>
    </message>
    <message>
        <source>Отменить последнюю запись в метод «%1»?

Метод будет возвращён к копии, сохранённой %2:
%3
Сейчас в методе: %4
После отмены: %5

Нынешний файл метода тоже будет сохранён, так что отмену можно отменить.</source>
        <translation>Undo the last write into the method “%1”?

The method goes back to the copy kept %2:
%3
In the method now: %4
After the undo: %5

The present method file is kept too, so the undo can itself be undone.</translation>
    </message>
    <message>
        <source>Вернуть копию</source>
        <translation>Restore the copy</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Метод «%1» возвращён к копии от </source>
        <translation>The method “%1” is back to the copy of </translation>
    </message>
    <message>
        <source>Запись в метод «%1» не отменена</source>
        <translation>The write into the method “%1” was not undone</translation>
    </message>
    <message>
        <source>dd.MM.yyyy HH:mm:ss</source>
        <translation>d MMM yyyy HH:mm:ss</translation>
    </message>
</context>
<context>
    <name>PassportText</name>
    <message>
        <source>Проба: </source>
        <translation>Sample: </translation>
    </message>
    <message>
        <source>Метод: </source>
        <translation>Method: </translation>
    </message>
    <message>
        <source>Пункт отбора: </source>
        <translation>Sampling site: </translation>
    </message>
    <message>
        <source>Точка отбора: </source>
        <translation>Sampling point: </translation>
    </message>
    <message>
        <source>Дата и время: </source>
        <translation>Date and time: </translation>
    </message>
    <message>
        <source>Тип: </source>
        <translation>Type: </translation>
    </message>
    <message>
        <source>градуировка</source>
        <translation>calibration</translation>
    </message>
    <message>
        <source>анализ</source>
        <translation>analysis</translation>
    </message>
</context>
<context>
    <name>ProtocolFlow</name>
    <message>
        <source>Протокол градуировки</source>
        <translation>Calibration protocol</translation>
    </message>
    <message>
        <source>Сохранить протокол градуировки в файл PDF или напечатать его?</source>
        <translation>Save the calibration protocol as a PDF file or print it?</translation>
    </message>
    <message>
        <source>Сохранить PDF…</source>
        <translation>Save PDF…</translation>
    </message>
    <message>
        <source>Печать…</source>
        <translation>Print…</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Сохранить протокол</source>
        <translation>Save protocol</translation>
    </message>
    <message>
        <source>Документы PDF (*.pdf)</source>
        <translation>PDF documents (*.pdf)</translation>
    </message>
    <message>
        <source>Протокол не сохранён:
%1</source>
        <translation>The protocol was not saved:
%1</translation>
    </message>
    <message>
        <source>Протокол не напечатан: принтер недоступен.</source>
        <translation>The protocol was not printed: the printer is not available.</translation>
    </message>
    <message>
        <source>Протокол не составлен: не во всех полях стоят допустимые числа; исправьте поле, отмеченное красным.</source>
        <translation>The protocol was not made: not every field holds a valid number; correct the field marked in red.</translation>
    </message>
    <message>
        <source>Протокол сохранён в файл
%1</source>
        <translation>The protocol was saved to
%1</translation>
    </message>
</context>
<context>
    <name>ReadFailure</name>
    <message>
        <source>файл не найден</source>
        <translation>file not found</translation>
    </message>
    <message>
        <source>нет доступа к файлу</source>
        <translation>access to the file denied</translation>
    </message>
    <message>
        <source>файл занят другой программой</source>
        <translation>the file is locked by another program</translation>
    </message>
    <message>
        <source>это не файл хроматограммы</source>
        <translation>not a chromatogram file</translation>
    </message>
    <message>
        <source>файл повреждён</source>
        <translation>the file is damaged</translation>
    </message>
</context>
</TS>
