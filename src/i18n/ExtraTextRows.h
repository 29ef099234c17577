#pragma once

#include <string_view>

namespace vorlune::i18n {

// The texts kept in the language file's extra section, with the built-in
// Russian text each falls back to. "{word}" marks a placeholder.
struct ExtraTextRow {
    std::string_view key;
    std::u16string_view ruDefault;
};

inline constexpr ExtraTextRow kExtraTextRows[] = {
    {"console_stop", u"Стоп"},
    {"console_input_hint", u"Команда серверу"},
    {"console_exit_code", u"Сервер завершил работу с кодом {code}"},
    {"console_crashed", u"Сервер аварийно завершился"},
    {"console_killed", u"Сервер не остановился вовремя и был завершён принудительно"},
    {"console_start_failed", u"Не удалось запустить сервер: {reason}"},
    {"check_effect_skip", u"серверы API 3 не загрузят плагин"},
    {"check_effect_stop", u"сервер не загрузит плагин и остановится"},
    {"check_name_characters", u"Имя плагина \"{name}\" должно состоять только из A-Z, a-z, 0-9, пробела и знаков "
                              u"\"_\", \".\", \"-\": {effect}."},
    {"check_name_reserved", u"Имя плагина \"{name}\" содержит \"{word}\": {effect}."},
    {"check_name_spaces", u"Имя плагина \"{name}\" содержит пробелы: сервер заменит их знаком \"_\" и загрузит плагин "
                          u"под именем \"{loaded}\", его папка данных получит то же имя."},
    {"check_main_reserved", u"Главный класс \"{main}\" начинается с \"pocketmine\\\": {effect}."},
    {"check_main_namespace", u"Главный класс \"{main}\" должен состоять из пространства имён и имени класса через \\, "
                             u"например Plugin\\Main, иначе сервер не найдёт класс. Такой плагин не будет собран."},
    {"check_main_empty", u"В главном классе \"{main}\" есть пустая часть: знак \\ не может стоять первым, последним "
                         u"или дважды подряд. Такой плагин не будет собран."},
    {"check_main_character", u"Часть \"{part}\" главного класса \"{main}\" содержит {character}, а имя в PHP состоит "
                             u"только из букв, цифр и \"_\". Такой плагин не будет собран."},
    {"check_main_digit", u"Часть \"{part}\" главного класса \"{main}\" начинается с цифры, а имя в PHP начинается с "
                         u"буквы или \"_\". Такой плагин не будет собран."},
    {"check_main_keyword",
     u"Часть \"{part}\" главного класса \"{main}\" — зарезервированное слово PHP. Такой плагин не будет собран."},
    {"check_main_class",
     u"Имя класса \"{part}\" в \"{main}\" занято типом PHP, классу его дать нельзя. Такой плагин не будет собран."},
    {"check_api_number", u"Версия API \"{api}\" не начинается с числа: ни один сервер не загрузит плагин. Впишите в "
                         u"настройках плагина версию API своего сервера: 3.0.0, 4.0.0 или 5.0.0."},
    {"check_api_old",
     u"Версия API \"{api}\" подходит только старым серверам API 1 и 2: серверы API 3 и новее не загрузят плагин. "
     u"Впишите в настройках плагина версию API своего сервера: 3.0.0, 4.0.0 или 5.0.0."},
    {"check_api_form", u"Версия API \"{api}\" должна состоять из трёх чисел через точку, например {example}: серверы "
                       u"API 4 и 5 не загрузят плагин и остановятся."},
    {"check_api_suffix",
     u"Серверы API 3 не загружают плагин, чья версия API с приставкой, как \"{api}\": впишите {example}."},
    {"check_api_newer", u"Версия API \"{api}\" новее последнего сервера API 3 (3.28.0): ни один сервер не загрузит "
                        u"плагин. Впишите 3.28.0 или меньше."},
    {"check_load", u"Порядок загрузки \"{load}\" не STARTUP и не POSTWORLD: {effect}."},
    {"check_message_escape",
     u"Сообщение \"{text}\" в событии \"{event}\" будет выведено как \"{printed}\": PHP читает \\ со следующим знаком "
     u"как особый знак (␊ — перевод строки, ␉ — табуляция). Чтобы вывести \\, напишите \\\\."},
    {"check_message_value", u"Сообщение \"{text}\" в событии \"{event}\" выводит значение {value} вместо этого текста; "
                            u"если у плагина нет такого метода, сервер остановится."},
    {"check_heading", u"Плагин собран, но сервер может его не принять или вывести не то, что задумано:"},
    {"save_question", u"Проект \"{name}\" изменён. Сохранить изменения?"},
    {"save_question_save", u"Сохранить"},
    {"save_question_discard", u"Не сохранять"},
    {"save_question_cancel", u"Отмена"},
    {"download_cancel_question", u"Идёт загрузка. Прервать её и закрыть окно?"},
    {"download_cancel_yes", u"Прервать"},
    {"download_cancel_no", u"Продолжить"},
    {"run_installed_php", u"PHP: {what}"},
    {"run_installed_core", u"Ядро сервера: {what}"},
    {"run_installed_none", u"не установлено"},
    {"run_installed_unknown", u"установлено"},
    {"php5_unavailable",
     u"Для этой системы нет сборки PHP 5, загружать нечего. Выберите «PHP8»: его требует сегодняшний сервер."},
    {"php8_wrong_cpu", u"Сборки «PHP8» есть только для процессоров x86_64, а у этой системы {cpu}: загружать нечего."},
    {"console_php_extensions", u"PHP этого сервера не подходит сегодняшнему ядру: установите «PHP8» в настройках "
                               u"запуска плагина и запустите снова."},
    {"console_children_killed", u"Процессы, запущенные сервером, ещё работали и были завершены."},
};

} // namespace vorlune::i18n
