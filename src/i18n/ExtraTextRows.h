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
    {"check_name_characters", u"Имя плагина \"{name}\" должно состоять только из A-Z, a-z, 0-9, пробела и знаков "
                              u"\"_\", \".\", \"-\": сервер не загрузит плагин."},
    {"check_name_reserved", u"Имя плагина \"{name}\" содержит \"{word}\": сервер не загружает плагины с таким именем."},
    {"check_main_reserved", u"Главный класс \"{main}\" начинается с \"pocketmine\\\": сервер не загрузит плагин."},
    {"check_api_form", u"Версия API \"{api}\" должна состоять из трёх чисел через точку, например 3.0.0: новые "
                       u"серверы не примут плагин."},
    {"check_api_old", u"Версия API \"{api}\" подходит только серверам API 1 и 2: серверы API 3 и новее откажутся "
                      u"загружать плагин."},
    {"check_load", u"Порядок загрузки \"{load}\" не STARTUP и не POSTWORLD: сервер не загрузит плагин."},
    {"check_message_quote", u"Сообщение \"{text}\" в событии \"{event}\" содержит кавычку \" без \\ перед ней: PHP "
                            u"не разберёт класс плагина."},
    {"check_message_backslash", u"Сообщение \"{text}\" в событии \"{event}\" кончается знаком \\: PHP не разберёт "
                                u"класс плагина."},
    {"check_message_variable", u"Сообщение \"{text}\" в событии \"{event}\" называет переменную PHP ${variable}, "
                               u"которой нет: сервер отключит плагин."},
};

} // namespace vorlune::i18n
