#pragma once

// The names of the program's tables and of their fields, as the compiler
// knows them: a misspelt name is a compile error, not a query that fails
// when it runs. The schema (schema.cpp) is built from these; code that names
// a table or a field uses them rather than writing the name as text.
// Each is the name the database has, spaces included:
// field::Booking::TotalCharge is "Total Charge".

namespace bm::table
{

inline constexpr char LakesFished[] = "Lakes Fished";
inline constexpr char Marinas[] = "Marinas";
inline constexpr char Lures[] = "Lures";
inline constexpr char LureColor[] = "Lure Color";
inline constexpr char Species[] = "Species";
inline constexpr char TripType[] = "Trip Type";
inline constexpr char TripRates[] = "Trip Rates";
inline constexpr char Deposits[] = "Deposits";
inline constexpr char GuideInfo[] = "Guide Info";
inline constexpr char Phone[] = "Phone";
inline constexpr char Booking[] = "Booking";
inline constexpr char Reminder[] = "Reminder";
inline constexpr char Diary[] = "Diary";
inline constexpr char Patterns[] = "Patterns";
inline constexpr char Rods[] = "Rods";
inline constexpr char Boat[] = "Boat";
inline constexpr char Equipment[] = "Equipment";
inline constexpr char HomeWater[] = "Home Water";
inline constexpr char Guides[] = "Guides";
inline constexpr char BookingPage[] = "Booking Page";
inline constexpr char PageTrips[] = "Page Trips";
inline constexpr char DaysOff[] = "Days Off";
inline constexpr char PageRequests[] = "Page Requests";
inline constexpr char Outbox[] = "Outbox";
inline constexpr char MailSettings[] = "Mail Settings";
inline constexpr char MailTexts[] = "Mail Texts";
// The program's own record of what happened to bookings and contacts,
// written by triggers alone (schema.h, historyTriggers).
inline constexpr char History[] = "History";
inline constexpr char Bin[] = "Bin";
// The state's logbook: who was aboard a trip, what each caught where, and
// the state's codes of the waters fished.
inline constexpr char Party[] = "Party";
inline constexpr char Catch[] = "Catch";
inline constexpr char SiteCodes[] = "Site Codes";
// What the guide's own calendar holds: the times he is busy, read from it
// by the desk that syncs with it.
inline constexpr char BusyTimes[] = "Busy Times";

} // namespace bm::table

namespace bm::field
{

namespace LakesFished
{
inline constexpr char Lake[] = "Lake";
} // namespace LakesFished

namespace Marinas
{
inline constexpr char Ramps[] = "Ramps";
} // namespace Marinas

namespace Lures
{
inline constexpr char Bait[] = "Bait";
} // namespace Lures

namespace LureColor
{
inline constexpr char Color[] = "Color";
} // namespace LureColor

namespace Species
{
inline constexpr char Fish[] = "Fish";
} // namespace Species

namespace TripType
{
inline constexpr char TripType[] = "Trip Type";
} // namespace TripType

namespace TripRates
{
inline constexpr char TripRates[] = "Trip Rates";
} // namespace TripRates

namespace Deposits
{
inline constexpr char Deposits[] = "Deposits";
} // namespace Deposits

namespace GuideInfo
{
inline constexpr char GuideName[] = "Guide Name";
inline constexpr char Address[] = "Address";
inline constexpr char City[] = "City";
inline constexpr char State[] = "State";
inline constexpr char ZipCode[] = "ZipCode";
inline constexpr char Phone[] = "Phone";
inline constexpr char Email[] = "Email";
inline constexpr char Website[] = "Website";
inline constexpr char License[] = "License No";
} // namespace GuideInfo

namespace Phone
{
inline constexpr char Name[] = "Name";
inline constexpr char Address[] = "Address";
inline constexpr char City[] = "City";
inline constexpr char State[] = "State";
inline constexpr char ZipCode[] = "Zip Code";
inline constexpr char HomeTelephoneNumber[] = "Home Telephone Number";
inline constexpr char WorkTelephoneNumber[] = "Work Telephone Number";
inline constexpr char MobilePhoneNumber[] = "Mobile Phone Number";
inline constexpr char Email[] = "Email";
inline constexpr char Remarks[] = "Remarks";
} // namespace Phone

namespace Booking
{
inline constexpr char Date[] = "Date";
inline constexpr char Lake[] = "Lake";
inline constexpr char Type[] = "Type";
inline constexpr char Name[] = "Name";
inline constexpr char MeetAt[] = "Meet At";
inline constexpr char Address[] = "Address";
inline constexpr char Address2[] = "Address2";
inline constexpr char City[] = "City";
inline constexpr char State[] = "State";
inline constexpr char ZipCode[] = "ZipCode";
inline constexpr char Telephone[] = "Telephone";
inline constexpr char WorkPhone[] = "Work Phone";
inline constexpr char CellPhone[] = "Cell Phone";
inline constexpr char Email[] = "Email";
inline constexpr char Lodging[] = "Lodging";
inline constexpr char Notes[] = "Notes";
inline constexpr char TotalCharge[] = "Total Charge";
inline constexpr char DepositAmount[] = "Deposit Amount";
inline constexpr char BalanceDue[] = "Balance Due";
inline constexpr char DepositReceived[] = "Deposit Received";
inline constexpr char PaidBy[] = "Paid By";
inline constexpr char BillingNotes[] = "Billing Notes";
inline constexpr char Weather[] = "Weather";
inline constexpr char AirTemp[] = "Air Temp";
inline constexpr char WindDirection[] = "Wind Direction";
inline constexpr char WindSpeed[] = "Wind Speed";
inline constexpr char LakeArea[] = "Lake Area";
inline constexpr char Depth[] = "Depth";
inline constexpr char WaterTemp[] = "Water Temp";
inline constexpr char WaterColor[] = "Water Color";
inline constexpr char Structure[] = "Structure";
inline constexpr char Species[] = "Species";
inline constexpr char TotalFish[] = "Total Fish";
inline constexpr char BigFish[] = "Big Fish";
inline constexpr char Weight[] = "Weight";
inline constexpr char Length[] = "Length";
inline constexpr char Lure[] = "Lure";
inline constexpr char LureColor[] = "Lure Color";
inline constexpr char Remarks[] = "Remarks";
inline constexpr char GSQty[] = "GS Qty";
inline constexpr char GSTotal[] = "GS Total";
inline constexpr char Goods[] = "Goods";
inline constexpr char GoodsQty[] = "Goods Qty";
inline constexpr char GoodsCost[] = "Goods Cost";
inline constexpr char GoodsTotal[] = "Goods Total";
inline constexpr char SubTotal[] = "Sub Total";
inline constexpr char TaxRate[] = "Tax Rate";
inline constexpr char Tax[] = "Tax";
inline constexpr char ChargeTotal[] = "Charge Total";
inline constexpr char LessDeposit[] = "Less Deposit";
inline constexpr char Picture[] = "Picture";
inline constexpr char Guide[] = "Guide";
inline constexpr char Status[] = "Status";
inline constexpr char PartySize[] = "Party Size";
inline constexpr char StartTime[] = "Start Time";
inline constexpr char Days[] = "Days";
} // namespace Booking

namespace Reminder
{
inline constexpr char Date[] = "Date";
inline constexpr char Reminder[] = "Reminder";
} // namespace Reminder

namespace Diary
{
inline constexpr char Date[] = "Date";
inline constexpr char Subject[] = "Subject";
inline constexpr char Page[] = "Page";
} // namespace Diary

namespace Patterns
{
inline constexpr char Lake[] = "Lake";
inline constexpr char Month[] = "Month";
inline constexpr char MoonPhase[] = "Moon Phase";
inline constexpr char AirTemp[] = "Air Temp";
inline constexpr char WaterTemp[] = "Water Temp";
inline constexpr char Structure[] = "Structure";
inline constexpr char BestDepth[] = "Best Depth";
inline constexpr char Lure[] = "Lure";
inline constexpr char LureColor[] = "Lure Color";
inline constexpr char Pattern[] = "Pattern";
inline constexpr char Remarks[] = "Remarks";
} // namespace Patterns

namespace Rods
{
inline constexpr char ReelMake[] = "Reel Make";
inline constexpr char ReelModel[] = "Reel Model";
inline constexpr char ReelType[] = "Reel Type";
inline constexpr char ReelNote[] = "Reel Note";
inline constexpr char RodMake[] = "Rod Make";
inline constexpr char RodModel[] = "Rod Model";
inline constexpr char RodLength[] = "Rod Length";
inline constexpr char RodNote[] = "Rod Note";
} // namespace Rods

namespace Boat
{
inline constexpr char Boat[] = "Boat";
inline constexpr char Serial[] = "Serial";
inline constexpr char Maint[] = "Maint";
inline constexpr char Motor[] = "Motor";
inline constexpr char SerialM[] = "SerialM";
inline constexpr char MaintM[] = "MaintM";
} // namespace Boat

namespace Equipment
{
inline constexpr char Item[] = "Item";
inline constexpr char Make[] = "Make";
inline constexpr char Model[] = "Model";
inline constexpr char SerialNo[] = "Serial No";
inline constexpr char Price[] = "Price";
inline constexpr char Remarks[] = "Remarks";
} // namespace Equipment

namespace HomeWater
{
inline constexpr char Latitude[] = "Latitude";
inline constexpr char Longitude[] = "Longitude";
} // namespace HomeWater

namespace Guides
{
inline constexpr char Name[] = "Name";
inline constexpr char Phone[] = "Phone";
inline constexpr char Email[] = "Email";
inline constexpr char Active[] = "Active";
inline constexpr char Login[] = "Login";
inline constexpr char License[] = "License No";
} // namespace Guides

namespace BookingPage
{
inline constexpr char SeasonStart[] = "Season Start";
inline constexpr char SeasonEnd[] = "Season End";
inline constexpr char Weekdays[] = "Weekdays";
inline constexpr char TripsPerGuide[] = "Trips Per Guide";
inline constexpr char NoticeDays[] = "Notice Days";
inline constexpr char DaysAhead[] = "Days Ahead";
inline constexpr char CancelDays[] = "Cancel Days";
} // namespace BookingPage

namespace PageTrips
{
inline constexpr char TripType[] = "Trip Type";
inline constexpr char Length[] = "Length";
inline constexpr char StartTime[] = "Start Time";
inline constexpr char Price[] = "Price";
inline constexpr char Deposit[] = "Deposit";
inline constexpr char LargestParty[] = "Largest Party";
} // namespace PageTrips

namespace DaysOff
{
inline constexpr char Guide[] = "Guide";
inline constexpr char Date[] = "Date";
} // namespace DaysOff

namespace PageRequests
{
inline constexpr char Booking[] = "Booking";
inline constexpr char Link[] = "Link";
inline constexpr char Made[] = "Made";
inline constexpr char Reason[] = "Reason";
} // namespace PageRequests

namespace Outbox
{
inline constexpr char Kind[] = "Kind";
inline constexpr char Booking[] = "Booking";
inline constexpr char Recipient[] = "Recipient";
inline constexpr char RecipientName[] = "Recipient Name";
inline constexpr char Subject[] = "Subject";
inline constexpr char Body[] = "Body";
inline constexpr char State[] = "State";
inline constexpr char Tries[] = "Tries";
inline constexpr char LastError[] = "Last Error";
inline constexpr char MessageId[] = "Message ID";
inline constexpr char Made[] = "Made";
inline constexpr char Sent[] = "Sent";
inline constexpr char NextTry[] = "Next Try";
inline constexpr char PlanKey[] = "Plan Key";
inline constexpr char Claim[] = "Claim";
} // namespace Outbox

namespace MailSettings
{
inline constexpr char Server[] = "Server";
inline constexpr char Port[] = "Port";
inline constexpr char Security[] = "Security";
inline constexpr char User[] = "User";
inline constexpr char SenderAddress[] = "Sender Address";
inline constexpr char SenderName[] = "Sender Name";
inline constexpr char GuideAddress[] = "Guide Address";
} // namespace MailSettings

namespace MailTexts
{
inline constexpr char Kind[] = "Kind";
inline constexpr char Send[] = "Send";
inline constexpr char Subject[] = "Subject";
inline constexpr char Body[] = "Body";
inline constexpr char Days[] = "Days";
} // namespace MailTexts

// One event of a booking or contact: Kind is its table's name, Record its
// ID, At the moment (UTC, as the change stamps write it), Login and Desk who
// made it (empty on the file), Action added, changed or deleted, and for a
// change the field with its value before and after, as text.
namespace History
{
inline constexpr char Kind[] = "Kind";
inline constexpr char Record[] = "Record";
inline constexpr char At[] = "At";
inline constexpr char Login[] = "Login";
inline constexpr char Desk[] = "Desk";
inline constexpr char Action[] = "Action";
inline constexpr char Field[] = "Field";
inline constexpr char Old[] = "Old";
inline constexpr char New[] = "New";
} // namespace History

// A deleted booking or contact: the whole record as a JSON object (field
// name to value as stored, its ID included), with what a list shows of it.
namespace Bin
{
inline constexpr char Kind[] = "Kind";
inline constexpr char Record[] = "Record";
inline constexpr char Deleted[] = "Deleted";
inline constexpr char Login[] = "Login";
inline constexpr char Summary[] = "Summary";
inline constexpr char Row[] = "Row";
} // namespace Bin

// One person aboard a trip: Booking is the trip's ID, Role one of
// partyRole, License his fishing licence number (the state's angler ID);
// the emergency contact is for the passenger manifest. A trip's party is
// listed in the order of the hidden key.
namespace Party
{
inline constexpr char Booking[] = "Booking";
inline constexpr char Angler[] = "Angler";
inline constexpr char License[] = "License No";
inline constexpr char Role[] = "Role";
inline constexpr char EmergencyContact[] = "Emergency Contact";
inline constexpr char EmergencyPhone[] = "Emergency Phone";
} // namespace Party

// One line of a trip's catch: on Day (one of the trip's days) at Site (a
// site code) on Water, the fish of one Species one Angler kept and
// released, as whole numbers. Origin and Life Stage are given for salmon
// and steelhead (catchOrigin, catchStage). A line with no Species says the
// angler fished the site and caught nothing.
namespace Catch
{
inline constexpr char Booking[] = "Booking";
inline constexpr char Day[] = "Day";
inline constexpr char Site[] = "Site";
inline constexpr char Water[] = "Water";
inline constexpr char Angler[] = "Angler";
inline constexpr char Species[] = "Species";
inline constexpr char Origin[] = "Origin";
inline constexpr char LifeStage[] = "Life Stage";
inline constexpr char Kept[] = "Kept";
inline constexpr char Released[] = "Released";
} // namespace Catch

// The state's list of fishing sites: its code and the water and stretch it
// names.
namespace SiteCodes
{
inline constexpr char Code[] = "Code";
inline constexpr char Name[] = "Name";
} // namespace SiteCodes

// One day of a guide's own busy time (an event of several days is a row a
// day): from Start Time to End Time ("HH:mm", "24:00" for the day's end),
// and the event's summary. An empty Guide is the whole service's.
namespace BusyTimes
{
inline constexpr char Guide[] = "Guide";
inline constexpr char Date[] = "Date";
inline constexpr char StartTime[] = "Start Time";
inline constexpr char EndTime[] = "End Time";
inline constexpr char Summary[] = "Summary";
} // namespace BusyTimes

} // namespace bm::field

// The values of a booking's Status. A booking without one (written by a
// tool, or before the field was there) is Confirmed.
namespace bm::bookingStatus
{
inline constexpr char requested[] = "Requested";
inline constexpr char confirmed[] = "Confirmed";
inline constexpr char cancelled[] = "Cancelled";
inline constexpr char noShow[] = "No-show";
} // namespace bm::bookingStatus

// The states of a message of the outbox: waiting to go (again), taken by a
// sender, accepted by the mail server, refused for good by it, given up
// after days without a connection, cancelled by the guide, or dropped
// because the trip it was planned for moved or was cancelled.
namespace bm::mailState
{
inline constexpr char queued[] = "Queued";
inline constexpr char sending[] = "Sending";
inline constexpr char sent[] = "Sent";
inline constexpr char failed[] = "Failed";
inline constexpr char givenUp[] = "Given Up";
inline constexpr char cancelled[] = "Cancelled";
inline constexpr char dropped[] = "Dropped";
} // namespace bm::mailState

// The actions of the history of a record.
namespace bm::historyAction
{
inline constexpr char added[] = "added";
inline constexpr char changed[] = "changed";
inline constexpr char deleted[] = "deleted";
} // namespace bm::historyAction

// Who a person aboard is, as the state's logbook asks: a paying client, the
// boat's crew, or an angler fishing free of charge.
namespace bm::partyRole
{
inline constexpr char client[] = "Client";
inline constexpr char crew[] = "Crew";
inline constexpr char comped[] = "Comped";
} // namespace bm::partyRole

// The origin and life stage of a salmon or steelhead.
namespace bm::catchOrigin
{
inline constexpr char hatchery[] = "Hatchery";
inline constexpr char wild[] = "Wild";
} // namespace bm::catchOrigin
namespace bm::catchStage
{
inline constexpr char adult[] = "Adult";
inline constexpr char jack[] = "Jack";
} // namespace bm::catchStage
