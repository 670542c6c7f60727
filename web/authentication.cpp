#include "web/authentication.h"

#include "core/log.h"
#include "platform/clock.h"
#include "web/md5_hex.h"

#include <cstdarg>
#include <cstdlib>
#include <openssl/crypto.h>

namespace {

const char kUnit[] = "userList";
const char kWrongLogin[] = "неверное имя или пароль";

std::string textMember(const JsonValue& request, const char* key) {
    const JsonValue* member = request.find(key);
    return member && member->type == kJsonString ? member->text : std::string("unknown");
}

std::string& cookie(HttpTransaction& transaction, const char* name) {
    return transaction.cookies[name]; // a missing cookie is sent back empty
}

bool notLoggedIn(JsonValue& response, const char* reason) {
    response["error"] = "not logged in";
    response["error2"] = reason;
    return false;
}

} // namespace

bool sameSecretText(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    return CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

void userLogLine(int level, const JsonValue& request, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::string message = formatTextV(format, arguments);
    va_end(arguments);
    std::string line =
        textMember(request, "_USERNAME") + " from " + textMember(request, "_REMOTEADDR") + ": " + message;
    logPrintf(level, "%s", line.c_str());
}

Authentication::Authentication(UserList& users, std::string serverSecret)
    : users_(users), secret_(std::move(serverSecret)) {}

std::string Authentication::nonceFor(const std::string& timeText) const {
    return md5Hex(timeText + secret_);
}

void Authentication::issueCookies(HttpTransaction& transaction, const std::string& name,
                                  const std::string& password) {
    std::string timeText = std::to_string(static_cast<long long>(platform::wallTime()));
    std::string nonce = nonceFor(timeText);
    transaction.cookies["login"] = name;
    transaction.cookies["time"] = timeText;
    transaction.cookies["nonce"] = nonce;
    transaction.cookies["password"] = md5Hex(name + password + timeText + nonce);
}

bool Authentication::authenticate(HttpTransaction& transaction, JsonValue& request, JsonValue& response) {
    std::string login = cookie(transaction, "login");
    std::string timeText = cookie(transaction, "time");
    std::string nonce = cookie(transaction, "nonce");
    std::string proof = cookie(transaction, "password");
    // Without a secret every nonce could be forged.
    if (secret_.empty() || !sameSecretText(nonceFor(timeText), nonce))
        return notLoggedIn(response, "invalid nonce");
    if (timeText.empty() || nonce.empty() || proof.empty())
        return notLoggedIn(response, "нет данных аутентификации");
    long long issued = std::strtoll(timeText.c_str(), nullptr, 10);
    long long now = platform::wallTime();
    // Compared without a difference, which the most negative time would overflow.
    if (issued > now || issued < now - kProofLifetimeSeconds)
        return notLoggedIn(response, "данные аутентификации устарели");
    UserRecord user;
    if (!users_.find(login, user))
        return notLoggedIn(response, kWrongLogin);
    if (!sameSecretText(md5Hex(login + user.password + timeText + nonce), proof))
        return notLoggedIn(response, kWrongLogin);
    if (now - issued > kProofRenewSeconds)
        issueCookies(transaction, login, user.password);
    request["_USERNAME"] = login;
    request["_PERMISSIONS"] = static_cast<double>(user.permissions);
    return true;
}

void Authentication::login(JsonValue& request, JsonValue& response) {
    const JsonValue* name = requiredField(request, response, "login", kJsonString);
    if (!name)
        return;
    const JsonValue* password = requiredField(request, response, "password", kJsonString);
    if (!password)
        return;
    std::string address = textMember(request, "_REMOTEADDR");
    int now = platform::monotonicSeconds();
    if (throttle_.refused(address, now)) {
        request["_USERNAME"] = name->text;
        if (throttle_.takeLogOnce(address))
            userLogLine(LOG_WARNING, request,
                        "too many failed logins, further attempts refused for a minute");
        response["error2"] = kWrongLogin;
        return;
    }
    UserRecord user;
    if (!secret_.empty() && users_.find(name->text, user) && sameSecretText(user.password, password->text))
        return;
    request["_USERNAME"] = name->text;
    userLogLine(LOG_INFO, request, "incorrect login attempt");
    throttle_.recordFailure(address, now);
    response["error2"] = kWrongLogin;
}

void Authentication::completeLogin(HttpTransaction& transaction, const JsonValue& request,
                                   const JsonValue& response) {
    if (response.find("error") || response.find("error2"))
        return;
    const JsonValue* name = request.find("login");
    const JsonValue* password = request.find("password");
    if (!name || !password)
        return;
    issueCookies(transaction, name->text, password->text);
    LOG_MSG(LOG_INFO, kUnit, "user %s from %s authenticated", name->text.c_str(),
            textMember(request, "_REMOTEADDR").c_str());
}

void Authentication::chpass(JsonValue& request, JsonValue& response) {
    const JsonValue* current = requiredField(request, response, "current", kJsonString);
    if (!current)
        return;
    const JsonValue* fresh = requiredField(request, response, "new", kJsonString);
    if (!fresh)
        return;
    const JsonValue* name = requiredField(request, response, "_USERNAME", kJsonString);
    if (!name)
        return;
    UserRecord user;
    if (!users_.find(name->text, user)) {
        response["error"] = "no such user";
        return;
    }
    if (!sameSecretText(user.password, current->text)) {
        response["error"] = "неверный текущий пароль";
        return;
    }
    // The users file separates its fields with ':' and users with line breaks: such a password would
    // rewrite other users' lines.
    if (fresh->text.find_first_of(":\r\n") != std::string::npos) {
        response["error"] = "недопустимый символ в пароле";
        return;
    }
    users_.setPassword(name->text, fresh->text);
    users_.save();
    userLogLine(LOG_INFO, request, "password changed");
}
